// The application's uinput keyboard, read back through its evdev node.
#include <linux/input.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/linux/keys/uinput/UinputKeyboard.h"
#include "tests/kernel/Checks.h"

namespace zibk {
namespace {

using platform::linux_keys::ModifierKeys;
using platform::linux_keys::UinputKeyboard;

struct TapCase {
  const char* what;
  int key;
  ModifierKeys modifiers;
  std::vector<std::pair<int, int>> expected;  // (code, value) as a reader sees them
};

std::string Expected(const std::vector<std::pair<int, int>>& events) {
  std::vector<KeyEvent> asEvents;
  for (const auto& [code, value] : events) asEvents.push_back({code, value, {}});
  return Describe(asEvents);
}

}  // namespace

std::string CheckUinputKeyboard() {
  std::string error;
  const auto keyboard = UinputKeyboard::Create({}, error);
  Expect(keyboard != nullptr, "the keyboard was not created: " + error);
  std::string node;
  const auto end = Clock::now() + kNodeTimeout;
  while ((node = keyboard->EventNode()).empty() && Clock::now() < end) {
    std::this_thread::sleep_for(Millis{10});
  }
  Expect(!node.empty(), "the keyboard has no evdev node");
  EvdevReader reader(node);

  const TapCase cases[] = {
      {"P with Shift",
       KEY_P,
       {.shift = true},
       {{KEY_LEFTSHIFT, 1}, {KEY_P, 1}, {KEY_P, 0}, {KEY_LEFTSHIFT, 0}}},
      {"1", KEY_1, {}, {{KEY_1, 1}, {KEY_1, 0}}},
      {"Tab with all four modifiers",
       KEY_TAB,
       {.meta = true, .ctrl = true, .alt = true, .shift = true},
       {{KEY_LEFTMETA, 1},
        {KEY_LEFTCTRL, 1},
        {KEY_LEFTALT, 1},
        {KEY_LEFTSHIFT, 1},
        {KEY_TAB, 1},
        {KEY_TAB, 0},
        {KEY_LEFTSHIFT, 0},
        {KEY_LEFTALT, 0},
        {KEY_LEFTCTRL, 0},
        {KEY_LEFTMETA, 0}}},
  };
  for (const TapCase& c : cases) {
    Expect(keyboard->Tap(c.key, c.modifiers), std::string("Tap of ") + c.what + " failed");
    const auto events = reader.ReadFor(Millis{200});
    bool same = events.size() == c.expected.size();
    for (std::size_t i = 0; same && i < events.size(); ++i) {
      same = events[i].code == c.expected[i].first && events[i].value == c.expected[i].second;
    }
    Expect(same, std::string(c.what) + " read back as " + Describe(events) + ", not " +
                     Expected(c.expected));
  }
  Expect(!keyboard->Tap(0, {.shift = true}) && !keyboard->Tap(UinputKeyboard::kMaxKeyCode + 1, {}),
         "a key code out of range was accepted");
  const auto stray = reader.ReadFor(Millis{200});
  Expect(stray.empty(), "a key code out of range wrote " + Describe(stray));
  Expect(reader.KeysDown().empty(), "a key stayed down on the keyboard");
  return "taps of P with Shift, 1, and Tab with all four modifiers read back in order from " +
         node + "; out-of-range codes write nothing; no key left down";
}

}  // namespace zibk
