// The kernel's side alone: raw receiver frames through the real driver, read straight from the
// evdev node. When these pass and the receiver checks fail, the fault is ours, not the harness's.
#include <linux/input.h>

#include "tests/kernel/Checks.h"

namespace zibk {
namespace {

struct ButtonKey {
  IrButton button;
  int key;
  const char* name;
};

constexpr ButtonKey kButtonKeys[] = {
    {IrButton::Menu, KEY_MENU, "Menu"},      {IrButton::Play, KEY_PLAYPAUSE, "Play"},
    {IrButton::Right, KEY_FORWARD, "right"}, {IrButton::Left, KEY_BACK, "left"},
    {IrButton::Plus, KEY_VOLUMEUP, "plus"},  {IrButton::Minus, KEY_VOLUMEDOWN, "minus"},
};

bool IsClick(const std::vector<KeyEvent>& events, int key) {
  return events.size() == 2 && events[0].code == key && events[0].value == 1 &&
         events[1].code == key && events[1].value == 0;
}

}  // namespace

std::string CheckDriverFrames() {
  FakeReceiver receiver(kReceiver);
  receiver.Plug();
  EvdevReader reader(ReceiverNode());
  for (const ButtonKey& c : kButtonKeys) {
    Expect(reader.HasKey(c.key), std::string("the node lacks the key of ") + c.name);
    receiver.SendPress(c.button);
    const auto events = reader.ReadUntilRelease(Millis{1000});
    Expect(IsClick(events, c.key), std::string(c.name) + " frame gave " + Describe(events));
  }
  receiver.SendCentrePress();
  const auto centre = reader.ReadUntilRelease(Millis{1000});
  Expect(IsClick(centre, KEY_ENTER), "centre frames gave " + Describe(centre));

  std::vector<KeyEvent> events;
  HoldButton(receiver, IrButton::Right, Millis{800}, [&] {
    for (const KeyEvent& ev : reader.ReadFor(kRepeatGap)) events.push_back(ev);
  });
  for (const KeyEvent& ev : reader.ReadUntilRelease(Millis{1000})) events.push_back(ev);
  std::size_t repeats = 0;
  for (const KeyEvent& ev : events) {
    if (ev.code == KEY_FORWARD && ev.value == 2) ++repeats;
  }
  Expect(events.size() == repeats + 2 && events.front().value == 1 && events.back().value == 0 &&
             repeats > 0,
         "holding right gave " + Describe(events));
  return "one frame gives key down and, 1/8 s later, key up for every button and the centre "
         "button; an 800 ms hold gives down, " +
         std::to_string(repeats) + " autorepeats, up";
}

}  // namespace zibk
