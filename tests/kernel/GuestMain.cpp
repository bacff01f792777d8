// The program the guest kernel runs as its checks. Each check prints one line that the host
// script reads: "ZIBK: PASS <name> (<ms> ms): <what it showed>" or "ZIBK: FAIL <name> ...: <why>".
#include <cstdio>
#include <exception>
#include <string>

#include "tests/kernel/Checks.h"

namespace {

struct Check {
  const char* name;
  std::string (*run)();
};

constexpr Check kChecks[] = {
    {"driver-frames", zibk::CheckDriverFrames},
    {"receiver-found", zibk::CheckReceiverFound},
    {"clicks-and-holds", zibk::CheckClicksAndHolds},
    {"grab", zibk::CheckGrab},
    {"hotplug", zibk::CheckHotplug},
    {"node-allowed-later", zibk::CheckNodeAllowedLater},
    {"unreadable-node-said", zibk::CheckUnreadableNodeSaid},
    {"grab-refused-said", zibk::CheckGrabRefusedSaid},
    {"uinput-keyboard", zibk::CheckUinputKeyboard},
};

// A check whose timing slipped because the host was busy gets this many goes.
constexpr int kAttempts = 3;

}  // namespace

int main() {
  using zibk::Clock;
  int failed = 0;
  for (const Check& check : kChecks) {
    const auto start = Clock::now();
    std::string outcome;
    std::string slipped;
    bool ok = false;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
      try {
        outcome = check.run();
        if (attempt > 1) outcome += " (on go " + std::to_string(attempt) + ": " + slipped + ")";
        ok = true;
      } catch (const zibk::TimingSlipped& e) {
        slipped = e.what();
        outcome = slipped + " (" + std::to_string(attempt) + " goes)";
        continue;
      } catch (const std::exception& e) {
        outcome = e.what();
      }
      break;
    }
    const auto ms = std::chrono::duration_cast<zibk::Millis>(Clock::now() - start).count();
    std::printf("ZIBK: %s %s (%lld ms): %s\n", ok ? "PASS" : "FAIL", check.name,
                static_cast<long long>(ms), outcome.c_str());
    std::fflush(stdout);
    if (!ok) ++failed;
  }
  return failed == 0 ? 0 : 1;
}
