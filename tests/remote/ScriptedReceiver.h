#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/linux/remote/device/RemoteDecoder.h"
#include "platform/linux/remote/device/RemoteDevice.h"

namespace platform::evdev_remote::testing {

// A receiver's event node as the kernel keeps it, played by a test: the keys held on the
// remote, what the node answers to opening and grabbing, unplugging and plugging in again, and
// a second program that reads the node beside the session.
class ScriptedReceiver {
 public:
  // What the second reader got: a key event, or the device going away (which ends its presses).
  struct Seen {
    unsigned code = 0;
    int value = 0;  // kGoneValue: the device went
    friend bool operator==(const Seen&, const Seen&) = default;
  };
  static constexpr int kGoneValue = -1;

  std::string path = "/dev/input/event3";
  bool present = true;
  int openError = 0;           // the errno opening gives; 0 opens
  bool otherGrabs = false;     // the second reader holds the grab
  bool monotonicClock = true;  // the node switches to the session's clock

  // The remote does something at `at`: the node queues the key event and its report for the
  // session (when it has the node open) and for the second reader (unless someone else holds
  // the grab). Returns whether the session got it.
  bool Emit(TimePoint at, unsigned code, int value);
  // The client buffer overflowed: what the session had not read yet is lost.
  void Overflow();
  void Unplug();
  void Plug();  // back, as a new node with nothing held

  // The remote presses `code` at `at` in the moment between the session's look at the key
  // state and its next grab.
  void PressWhileGrabbing(TimePoint at, unsigned code) { pressWhileGrabbing_ = {at, code}; }

  // A change in the input folder waits to be read (a node appeared or its permissions changed).
  bool changed = false;

  const std::set<unsigned>& keysDown() const noexcept { return keysDown_; }
  bool grabbed() const noexcept { return grabbed_; }
  // Whether the session took the grab while a key was down: one it could have seen, or one
  // pressed while it grabbed if it kept the grab long enough for the remote to do something.
  bool grabbedMidPress() const noexcept { return grabbedMidPress_ || grabJustTakenMidPress_; }
  // Whether events wait for the session.
  bool readable() const noexcept { return !queue_.empty(); }
  const std::vector<Seen>& secondReader() const noexcept { return secondReader_; }
  // The keys the second reader has seen go down and not come up.
  std::set<unsigned> keysDownForSecondReader() const;

  // The node as the session sees it.
  std::unique_ptr<DeviceSource> NewSource();

 private:
  class Device;
  class Source;
  class Watch;

  std::set<unsigned> keysDown_;
  bool grabbed_ = false;
  bool grabbedMidPress_ = false;
  bool grabJustTakenMidPress_ = false;
  std::optional<std::pair<TimePoint, unsigned>> pressWhileGrabbing_;
  int generation_ = 0;      // one per plug: a device opened before an unplug stays gone
  Device* open_ = nullptr;  // the session's open device, if any
  std::deque<input_event> queue_;
  std::vector<Seen> secondReader_;
};

}  // namespace platform::evdev_remote::testing
