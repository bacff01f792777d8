// The checks that run inside the guest kernel. Each prints one line the host script reads:
// "ZIBK: PASS <name>: <detail>" or "ZIBK: FAIL <name>: <why>", then "ZIBK: DONE ...".
#include <linux/input.h>

#include <cstdio>
#include <exception>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/kernel/EvdevNode.h"
#include "tests/kernel/FakeReceiver.h"
#include "tests/kernel/TestKeyboard.h"

namespace zibk {
namespace {

constexpr std::uint16_t kApple = 0x05ac;
constexpr std::uint16_t kReceiver = 0x8242;
constexpr Millis kNodeTimeout{5000};
// The driver releases a key 1/8 s after the last frame; a gap between frames longer than this
// lets it do so in the middle of a hold.
constexpr Millis kRepeatGap{40};
constexpr Millis kLateGap{100};

struct CheckFailed : std::runtime_error {
  using std::runtime_error::runtime_error;
};
// The guest was too slow for the timing a check needs (the host is busy): worth another go.
struct TimingSlipped : std::runtime_error {
  using std::runtime_error::runtime_error;
};

void Expect(bool ok, const std::string& why) {
  if (!ok) throw CheckFailed(why);
}

// Holds a button down for `duration` the way the remote does: one press frame, then repeat
// frames while the button stays down. Calls `during` after each frame.
void HoldButton(FakeReceiver& receiver, IrButton button, Millis duration,
                const std::function<void()>& during) {
  const auto start = Clock::now();
  receiver.SendPress(button);
  auto last = Clock::now();
  during();
  while (Clock::now() - start < duration) {
    if (Clock::now() - last > kLateGap) throw TimingSlipped("a repeat frame came late");
    receiver.SendRepeat(button);
    last = Clock::now();
    during();
  }
}

std::vector<KeyEvent> HoldAndRead(FakeReceiver& receiver, EvdevReader& reader, IrButton button,
                                  Millis duration) {
  std::vector<KeyEvent> events;
  HoldButton(receiver, button, duration, [&] {
    for (const KeyEvent& ev : reader.ReadFor(kRepeatGap)) events.push_back(ev);
  });
  for (const KeyEvent& ev : reader.ReadUntilRelease(Millis{1000})) events.push_back(ev);
  return events;
}

std::string Hex(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04x", value);
  return text;
}

struct ButtonCase {
  IrButton button;
  int key;
  const char* name;
};

constexpr ButtonCase kButtons[] = {
    {IrButton::Menu, KEY_MENU, "Menu"},      {IrButton::Play, KEY_PLAYPAUSE, "Play"},
    {IrButton::Right, KEY_FORWARD, "right"}, {IrButton::Left, KEY_BACK, "left"},
    {IrButton::Plus, KEY_VOLUMEUP, "plus"},  {IrButton::Minus, KEY_VOLUMEDOWN, "minus"},
};

std::string CheckDriverBindsEveryReceiver() {
  const std::uint16_t products[] = {0x8240, 0x8241, 0x8242, 0x8243, 0x1440};
  for (const std::uint16_t product : products) {
    FakeReceiver receiver(product);
    receiver.Plug();
    const auto node = WaitForNode(kApple, product, kNodeTimeout);
    Expect(node.has_value(), "no evdev node for product " + Hex(product));
    EvdevReader reader(*node);
    for (const ButtonCase& c : kButtons) {
      Expect(reader.HasKey(c.key), "node of " + Hex(product) + " lacks the key of " + c.name);
    }
    receiver.Unplug();
    Expect(WaitForNoNode(kApple, product, kNodeTimeout),
           "node of " + Hex(product) + " stayed after unplugging");
  }
  return "hid-appleir gives an evdev node for 05ac:8240, 8241, 8242, 8243 and 1440";
}

std::string CheckClicks() {
  FakeReceiver receiver(kReceiver);
  receiver.Plug();
  const auto node = WaitForNode(kApple, kReceiver, kNodeTimeout);
  Expect(node.has_value(), "no evdev node for the receiver");
  EvdevReader reader(*node);
  for (const ButtonCase& c : kButtons) {
    receiver.SendPress(c.button);
    const auto events = reader.ReadUntilRelease(Millis{1000});
    Expect(events.size() == 2 && events[0].code == c.key && events[0].value == 1 &&
               events[1].code == c.key && events[1].value == 0,
           std::string(c.name) + " click gave " + Describe(events));
  }
  receiver.SendCentrePress();
  const auto centre = reader.ReadUntilRelease(Millis{1000});
  Expect(centre.size() == 2 && centre[0].code == KEY_ENTER && centre[1].code == KEY_ENTER,
         "centre click gave " + Describe(centre));
  return "one press frame gives key down and, 1/8 s later, key up, for all six buttons and the "
         "centre button (KEY_ENTER)";
}

std::string CheckHold() {
  FakeReceiver receiver(kReceiver);
  receiver.Plug();
  const auto node = WaitForNode(kApple, kReceiver, kNodeTimeout);
  Expect(node.has_value(), "no evdev node for the receiver");
  EvdevReader reader(*node);
  const auto events = HoldAndRead(receiver, reader, IrButton::Right, Millis{800});
  Expect(events.size() >= 3, "hold gave " + Describe(events));
  Expect(events.front().code == KEY_FORWARD && events.front().value == 1,
         "hold began with " + Describe(events));
  Expect(events.back().code == KEY_FORWARD && events.back().value == 0,
         "hold ended with " + Describe(events));
  std::size_t repeats = 0;
  for (std::size_t i = 1; i + 1 < events.size(); ++i) {
    Expect(events[i].code == KEY_FORWARD && events[i].value == 2, "hold gave " + Describe(events));
    ++repeats;
  }
  Expect(repeats > 0, "hold gave no autorepeat");
  return "an 800 ms hold gives one down, " + std::to_string(repeats) + " autorepeats, one up";
}

std::string CheckGrab() {
  FakeReceiver receiver(kReceiver);
  receiver.Plug();
  const auto node = WaitForNode(kApple, kReceiver, kNodeTimeout);
  Expect(node.has_value(), "no evdev node for the receiver");
  EvdevReader listener(*node);
  EvdevReader other(*node);
  Expect(listener.Grab(true), "grab refused");
  receiver.SendPress(IrButton::Menu);
  const auto seen = listener.ReadUntilRelease(Millis{1000});
  Expect(seen.size() == 2, "the grabbing reader got " + Describe(seen));
  const auto leaked = other.ReadFor(Millis{200});
  Expect(leaked.empty(), "a second reader saw " + Describe(leaked) + " through the grab");
  Expect(listener.Grab(false), "releasing the grab failed");
  receiver.SendPress(IrButton::Menu);
  const auto after = other.ReadUntilRelease(Millis{1000});
  Expect(after.size() == 2, "after the grab a second reader got " + Describe(after));
  return "while grabbed a second reader sees nothing; after release it sees the click";
}

std::string CheckHotplug() {
  FakeReceiver receiver(kReceiver);
  receiver.Plug();
  auto node = WaitForNode(kApple, kReceiver, kNodeTimeout);
  Expect(node.has_value(), "no evdev node for the receiver");
  EvdevReader first(*node);
  receiver.Unplug();
  first.ReadFor(Millis{300});
  Expect(first.Gone(), "reading the unplugged receiver did not report it gone");
  receiver.Plug();
  node = WaitForNode(kApple, kReceiver, kNodeTimeout);
  Expect(node.has_value(), "no evdev node after plugging in again");
  EvdevReader second(*node);
  receiver.SendPress(IrButton::Play);
  const auto events = second.ReadUntilRelease(Millis{1000});
  Expect(events.size() == 2 && events[0].code == KEY_PLAYPAUSE,
         "after plugging in again a click gave " + Describe(events));
  return "unplugged, the node reports ENODEV; plugged in again, a new node works";
}

std::string CheckUinputKeyboard() {
  TestKeyboard keyboard;
  const auto node = WaitForNode(TestKeyboard::kVendor, TestKeyboard::kProduct, kNodeTimeout);
  Expect(node.has_value(), "no evdev node for the uinput keyboard");
  EvdevReader reader(*node);
  const int keys[][2] = {{KEY_LEFTSHIFT, 1}, {KEY_P, 1}, {KEY_P, 0}, {KEY_LEFTSHIFT, 0}};
  for (const auto& key : keys) keyboard.Key(key[0], key[1] != 0);
  const auto events = reader.ReadFor(Millis{300});
  Expect(events.size() == 4, "the keyboard node gave " + Describe(events));
  for (std::size_t i = 0; i < events.size(); ++i) {
    Expect(events[i].code == keys[i][0] && events[i].value == keys[i][1],
           "the keyboard node gave " + Describe(events));
  }
  Expect(reader.KeysDown().empty(), "a key stayed down");
  return "Shift+P written to a uinput keyboard reads back from its evdev node, no key left down";
}

struct Check {
  const char* name;
  std::string (*run)();
};

constexpr Check kChecks[] = {
    {"driver-binds", CheckDriverBindsEveryReceiver},
    {"clicks", CheckClicks},
    {"hold", CheckHold},
    {"grab", CheckGrab},
    {"hotplug", CheckHotplug},
    {"uinput-keyboard", CheckUinputKeyboard},
};

constexpr int kAttempts = 3;

}  // namespace
}  // namespace zibk

int main() {
  using namespace zibk;
  int passed = 0;
  int failed = 0;
  for (const Check& check : kChecks) {
    const auto start = Clock::now();
    std::string outcome;
    bool ok = false;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
      try {
        outcome = check.run();
        ok = true;
      } catch (const TimingSlipped& e) {
        outcome = std::string(e.what()) + " (" + std::to_string(attempt) + " tries)";
        continue;
      } catch (const std::exception& e) {
        outcome = e.what();
      }
      break;
    }
    const auto ms = std::chrono::duration_cast<Millis>(Clock::now() - start).count();
    std::printf("ZIBK: %s %s (%lld ms): %s\n", ok ? "PASS" : "FAIL", check.name,
                static_cast<long long>(ms), outcome.c_str());
    std::fflush(stdout);
    (ok ? passed : failed)++;
  }
  std::printf("ZIBK: DONE passed=%d failed=%d\n", passed, failed);
  std::fflush(stdout);
  return failed == 0 ? 0 : 1;
}
