// The application's receiver code (discovery, decoding, grab) listening to the real driver, run
// by a plain poll loop instead of the GUI's event loop.
#include <linux/input.h>

#include <string>
#include <vector>

#include "platform/linux/remote/device/EvdevDevice.h"
#include "tests/kernel/DecoyDevice.h"
#include "tests/kernel/Listener.h"

namespace zibk {

std::string CheckReceiverFound() {
  Listener listener;
  // Only the ids tell a receiver: a device with its name and keys but another product is not one.
  DecoyDevice decoy("Apple Computer, Inc. IR Receiver", kApple, 0x0250);
  Expect(WaitForNode(kApple, 0x0250, kNodeTimeout).has_value(), "the decoy has no node");
  Expect(remote::FindReceiverNodes("/dev/input").empty(), "the decoy was taken for a receiver");
  Expect(!listener.session().Available(), "a receiver was available with none plugged in");

  for (const std::uint16_t product : remote::kReceiverProducts) {
    FakeReceiver receiver(product);
    receiver.Plug();
    const std::string node = ReceiverNode(product);
    const auto found = remote::FindReceiverNodes("/dev/input");
    Expect(found == std::vector<std::string>{node}, "with receiver " + Hex(product) + " at " +
                                                        node + " discovery found " +
                                                        std::to_string(found.size()) + " nodes");
    Expect(listener.session().Available(), "receiver " + Hex(product) + " was not available");
    receiver.Unplug();
    Expect(WaitForNoNode(kApple, product, kNodeTimeout), "the node stayed after unplugging");
  }
  Expect(!listener.session().Available(), "a receiver was available after unplugging");
  return "receivers 05ac:8240, 8241, 8242, 8243 and 1440 are found by their ids, each alone; a "
         "device with the receiver's name and other ids is not";
}

std::string CheckClicksAndHolds() {
  FakeReceiver receiver(kReceiver);
  receiver.Plug();
  Witness witness(ReceiverNode());
  Listener listener;
  listener.Start();
  Expect(listener.RunUntil([&] { return listener.session().hasDevice(); }),
         "listening did not open the receiver");

  struct PressCase {
    const char* what;
    IrButton button;
    Millis framesFor;  // how long the remote sends frames; 0 for a single frame
    std::vector<RemoteEvent> expected;
    bool centre = false;  // the aluminium remote's two-frame centre button instead
  };
  constexpr Millis kOneFrame{0};
  // Down for about 375 ms: 250 ms of frames, then the driver's 1/8 s.
  constexpr Millis kLongClick{250};
  constexpr Millis kHold{900};
  const PressCase cases[] = {
      {"a Menu click", IrButton::Menu, kOneFrame, {{code::kMenu, true}}},
      {"a Play click", IrButton::Play, kOneFrame, {{code::kPlay, true}}},
      {"a right click", IrButton::Right, kOneFrame, {{code::kRight, true}}},
      {"a left click", IrButton::Left, kOneFrame, {{code::kLeft, true}}},
      {"a plus click",
       IrButton::Plus,
       kOneFrame,
       {{code::kVolumePlus, true}, {code::kVolumePlus, false}}},
      {"a minus click",
       IrButton::Minus,
       kOneFrame,
       {{code::kVolumeMinus, true}, {code::kVolumeMinus, false}}},
      {"a centre click", IrButton::Play, kOneFrame, {{code::kPlay, true}}, true},
      {"a 375 ms press of right", IrButton::Right, kLongClick, {{code::kRight, true}}},
      {"holding right",
       IrButton::Right,
       kHold,
       {{code::kRightHold, true}, {code::kRightHold, false}}},
      {"holding left", IrButton::Left, kHold, {{code::kLeftHold, true}, {code::kLeftHold, false}}},
      {"holding Menu", IrButton::Menu, kHold, {{code::kMenuHold, true}}},
      {"holding Play", IrButton::Play, kHold, {{code::kPlaySleep, true}}},
      {"holding plus",
       IrButton::Plus,
       kHold,
       {{code::kVolumePlus, true}, {code::kVolumePlus, false}}},
  };

  int slips = 0;
  for (const PressCase& c : cases) {
    for (int attempt = 1;; ++attempt) {
      try {
        const auto pressed = Clock::now();
        if (c.centre) {
          receiver.SendCentrePress();
        } else if (c.framesFor == kOneFrame) {
          receiver.SendPress(c.button);
        } else {
          Hold(receiver, listener, c.button, c.framesFor);
        }
        const auto lastFrame = Clock::now();
        const auto reports = listener.Collect(c.expected.size());
        const Millis downFor = witness.DownFor();
        const bool hold = c.framesFor >= remote::kHoldThreshold;
        if (!hold && downFor > c.framesFor + Millis{125} + kLateGap) {
          throw TimingSlipped("the driver released " + std::string(c.what) + " after " +
                              std::to_string(downFor.count()) + " ms");
        }
        ExpectEvents(reports, c.expected, c.what);
        if (hold) {
          // A hold reports at the threshold, while the button is still down.
          const auto after = std::chrono::duration_cast<Millis>(reports.front().at - pressed);
          const bool timed = c.expected.front().button != code::kVolumePlus;
          Expect(!timed || after >= remote::kHoldThreshold,
                 std::string(c.what) + " reported after " + std::to_string(after.count()) +
                     " ms, before the hold threshold");
          Expect(reports.front().at < lastFrame,
                 std::string(c.what) + " reported only after the button came up");
        }
        break;
      } catch (const TimingSlipped&) {
        if (attempt == 4) throw;
        ++slips;
        // Let the driver release what it holds and forget what came of the slipped go.
        listener.loop().RunFor(Millis{400});
        listener.Collect(0);
        witness.Drain();
      }
    }
  }
  return "clicks of all six buttons and the centre button, a 375 ms press, and 900 ms holds of "
         "right, left, Menu, Play and plus give the expected remote events; holds report at the "
         "threshold while the button is down" +
         (slips > 0 ? " (the guest stalled; cases went again " + std::to_string(slips) + " times)"
                    : std::string());
}

std::string CheckGrab() {
  FakeReceiver receiver(kReceiver);
  receiver.Plug();
  const std::string node = ReceiverNode();
  EvdevReader other(node);
  Listener listener;
  listener.Start();
  Expect(listener.RunUntil([&] { return listener.session().hasDevice(); }),
         "listening did not open the receiver");

  listener.session().SetExclusive(true);
  Expect(listener.session().grabbed(), "exclusive mode took no grab");
  Expect(!other.Grab(true), "a second reader could grab the node too");
  receiver.SendPress(IrButton::Menu);
  ExpectEvents(listener.Collect(1), {{code::kMenu, true}}, "a click while grabbed");
  auto leaked = other.ReadFor(Millis{100});
  Expect(leaked.empty(), "a second reader saw " + zibk::Describe(leaked) + " through the grab");

  listener.session().SetExclusive(false);
  Expect(!listener.session().grabbed(), "switching exclusive mode off kept the grab");
  receiver.SendPress(IrButton::Menu);
  ExpectEvents(listener.Collect(1), {{code::kMenu, true}}, "a click after the grab");
  auto seen = other.ReadFor(Millis{100});
  Expect(Count(seen, 1) == 1 && Count(seen, 0) == 1,
         "after the grab a second reader saw " + zibk::Describe(seen));

  // Switched on in the middle of a hold: the grab waits until the button is up, so the second
  // reader sees the release of what it saw pressed.
  bool grabbedWhileDown = false;
  int frames = 0;
  HoldButton(receiver, IrButton::Left, Millis{800}, [&] {
    if (++frames == 3) listener.session().SetExclusive(true);
    listener.loop().RunFor(kRepeatGap);
    grabbedWhileDown = grabbedWhileDown || listener.session().grabbed();
  });
  ExpectEvents(listener.Collect(2), {{code::kLeftHold, true}, {code::kLeftHold, false}},
               "holding left");
  Expect(!grabbedWhileDown, "the grab was taken while a button was down");
  Expect(listener.session().grabbed(), "the grab was not taken once the button came up");
  seen = other.ReadFor(Millis{100});
  Expect(Count(seen, 1) == 1 && Count(seen, 0) == 1,
         "the second reader saw " + zibk::Describe(seen) + " of the hold");
  receiver.SendPress(IrButton::Play);
  ExpectEvents(listener.Collect(1), {{code::kPlay, true}}, "a click while grabbed");
  leaked = other.ReadFor(Millis{100});
  Expect(leaked.empty(), "a second reader saw " + zibk::Describe(leaked) + " through the grab");

  listener.session().Stop();
  receiver.SendPress(IrButton::Play);
  seen = other.ReadUntilRelease(Millis{1000});
  Expect(Count(seen, 1) == 1 && Count(seen, 0) == 1,
         "after listening stopped a second reader saw " + zibk::Describe(seen));

  // Turned on in the middle of a hold with exclusive mode on: the node is opened at once, the
  // grab only once the button is up, so the second reader sees the release of what it saw.
  grabbedWhileDown = false;
  frames = 0;
  HoldButton(receiver, IrButton::Right, Millis{800}, [&] {
    if (++frames == 3) listener.Start();
    listener.loop().RunFor(kRepeatGap);
    grabbedWhileDown = grabbedWhileDown || listener.session().grabbed();
  });
  ExpectEvents(listener.Collect(0), {}, "a hold begun before listening");
  Expect(!grabbedWhileDown, "turned on mid-hold, the grab was taken while the button was down");
  Expect(listener.session().grabbed(), "turned on mid-hold, no grab once the button came up");
  seen = other.ReadFor(Millis{100});
  Expect(Count(seen, 1) == 1 && Count(seen, 0) == 1,
         "turned on mid-hold, the second reader saw " + zibk::Describe(seen) + " of the hold");
  return "while grabbed a second reader sees nothing and cannot grab; switched off or stopped, "
         "it sees clicks again; switched on or turned on mid-hold, the grab waits for the "
         "release";
}

}  // namespace zibk
