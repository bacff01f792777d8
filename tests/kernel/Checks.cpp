#include "tests/kernel/Checks.h"

#include <sys/resource.h>

#include <cstdio>

namespace zibk {

void HoldButton(FakeReceiver& receiver, IrButton button, Millis duration,
                const std::function<void()>& between) {
  const auto start = Clock::now();
  receiver.SendPress(button);
  auto last = Clock::now();
  between();
  while (Clock::now() - start < duration) {
    if (Clock::now() - last > kLateGap) throw TimingSlipped("a repeat frame came late");
    receiver.SendRepeat(button);
    last = Clock::now();
    between();
  }
}

std::string ReceiverNode(std::uint16_t product) {
  const auto node = WaitForNode(kApple, product, kNodeTimeout);
  Expect(node.has_value(), "no evdev node for receiver " + Hex(product));
  return *node;
}

Millis CpuTime() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto micros = [](const timeval& t) {
    return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
  };
  return std::chrono::duration_cast<Millis>(micros(usage.ru_utime) + micros(usage.ru_stime));
}

std::string Hex(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04x", value);
  return text;
}

}  // namespace zibk
