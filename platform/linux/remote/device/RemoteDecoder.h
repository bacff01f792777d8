#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

namespace platform::evdev_remote {

using Clock =
    std::chrono::steady_clock;  // CLOCK_MONOTONIC, the clock the device stamps events with
using TimePoint = Clock::time_point;

// A button that stays down this long reports its hold instead of a click.
inline constexpr std::chrono::milliseconds kHoldThreshold{500};

// One remote event: the button code the program maps to a row, and whether it went down.
struct RemoteEvent {
  int button = 0;
  bool down = false;
  friend bool operator==(const RemoteEvent&, const RemoteEvent&) = default;
};

// Turns the receiver's evdev key events into remote events, so that one thing a person does on
// the remote gives one report (two for volume and for the right/left holds, down and up).
//
// The receiver's driver sends a key-down on the first infrared frame, autorepeat (value 2) while
// frames keep coming, and the key-up about 125 ms after the last frame; there is no key-up from
// the hardware. So a click can only be told from a hold once the button comes up or has been
// down for kHoldThreshold:
//   volume plus/minus  (0/1, True) at press, (0/1, False) at release
//   menu, play/enter   (2/3, True) at release before the threshold; (8/9, True) once at it
//   right, left        (4/5, True) at release before the threshold; (6/7, True) at it and
//                      (6/7, False) at release
//
// One button at a time: a press while another button is down is ignored, and so is its release,
// so every True that has a False gets it. The decoder keeps no clock of its own: every call
// carries the time, and Deadline() says when the owner must call TimerDue(). Pure: no I/O.
class RemoteDecoder {
 public:
  // One EV_KEY event (code from linux/input-event-codes.h, value 0, 1 or 2) stamped `at`.
  std::vector<RemoteEvent> Key(TimePoint at, unsigned code, int value);

  // The owner's single-shot timer for Deadline() fired. Harmless when early or late.
  std::vector<RemoteEvent> TimerDue(TimePoint now);

  // The kernel dropped events (SYN_DROPPED). `isDown` tells the key state after the gap (from
  // EVIOCGKEY). A button that came up in the gap ends without a click (its release time is
  // lost), with its False where it has one; one still down goes on; presses in the gap count not.
  std::vector<RemoteEvent> Resync(TimePoint now, const std::function<bool(unsigned code)>& isDown);

  // The receiver went away: a button that is down ends as in Resync with every key up.
  std::vector<RemoteEvent> DeviceGone();

  // Forgets everything without reporting (listening stopped).
  void Reset() noexcept { active_.reset(); }

  // When TimerDue must be called; nothing while no button is being timed.
  std::optional<TimePoint> Deadline() const;

  bool ButtonDown() const noexcept { return active_.has_value(); }

 private:
  struct Active {
    unsigned key = 0;
    TimePoint pressedAt;
    bool holdReported = false;
  };

  void ReportHoldIfDue(TimePoint now, std::vector<RemoteEvent>& out);
  void EndWithoutClick(std::vector<RemoteEvent>& out);

  std::optional<Active> active_;
};

// The button codes this receiver reports.
namespace button {
inline constexpr int kVolumePlus = 0, kVolumeMinus = 1, kMenu = 2, kPlay = 3, kRight = 4, kLeft = 5,
                     kRightHold = 6, kLeftHold = 7, kMenuHold = 8, kPlaySleep = 9;
}

}  // namespace platform::evdev_remote
