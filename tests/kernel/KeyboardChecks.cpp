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
  // Settle time long enough for the reader below to open the device well before it is over,
  // even in a busy guest.
  UinputKeyboard::Options options;
  options.settle = Millis{1500};
  const auto keyboard = UinputKeyboard::Create(options, error);
  Expect(keyboard != nullptr, "the keyboard was not created: " + error);
  const auto created = Clock::now();

  // The first tap comes before anyone reads the device: it returns at once, and its keys come
  // out once the device has settled.
  Expect(keyboard->Tap(KEY_Q, {.ctrl = true}), "the first tap was refused");
  const auto firstTapTook = Clock::now() - created;
  Expect(firstTapTook < Millis{200},
         "the first tap waited " +
             std::to_string(std::chrono::duration_cast<Millis>(firstTapTook).count()) +
             " ms for the keyboard to settle");
  Expect(keyboard->Tap(KEY_W, {}), "the second tap was refused");

  std::string node;
  const auto end = Clock::now() + kNodeTimeout;
  while ((node = keyboard->EventNode()).empty() && Clock::now() < end) {
    std::this_thread::sleep_for(Millis{10});
  }
  Expect(!node.empty(), "the keyboard has no evdev node");
  EvdevReader reader(node);
  if (Clock::now() >= created + options.settle)
    throw TimingSlipped("the reader opened the keyboard only after it had settled");

  std::vector<KeyEvent> held;
  const auto heldEnd = created + options.settle + Millis{3000};
  while (held.size() < 6 && Clock::now() < heldEnd) {
    const auto more = reader.ReadUntilRelease(Millis{500});
    held.insert(held.end(), more.begin(), more.end());
  }
  const std::vector<std::pair<int, int>> heldExpected = {{KEY_LEFTCTRL, 1}, {KEY_Q, 1}, {KEY_Q, 0},
                                                         {KEY_LEFTCTRL, 0}, {KEY_W, 1}, {KEY_W, 0}};
  bool heldInOrder = held.size() == heldExpected.size();
  for (std::size_t i = 0; heldInOrder && i < held.size(); ++i)
    heldInOrder = held[i].code == heldExpected[i].first && held[i].value == heldExpected[i].second;
  Expect(heldInOrder, "the taps made before the keyboard settled read back as " + Describe(held) +
                          ", not " + Expected(heldExpected));
  Expect(held.front().at >= created + options.settle - Millis{50},
         "the held taps came out before the keyboard had settled");

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
  return "two taps made right after creation returned at once and read back in order once the "
         "keyboard had settled; taps of P with Shift, 1, and Tab with all four modifiers read "
         "back in order from " +
         node + "; out-of-range codes write nothing; no key left down";
}

}  // namespace zibk
