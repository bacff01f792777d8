#pragma once

#include <linux/input.h>

#include <memory>
#include <string>
#include <vector>

namespace platform::evdev_remote {

// What a receiver session needs of the system's input devices. The evdev nodes under
// /dev/input are the real thing (EvdevDevice.h); tests put a scripted receiver in their place.

// An event node that did not open, with the errno of the open.
struct UnopenedNode {
  std::string path;
  int error = 0;
};

// What a look through an input folder found.
struct ReceiverScan {
  std::vector<std::string> receivers;  // event nodes with a receiver's ids that opened for reading
  bool someRefused = false;            // an event node refused opening (EACCES/EPERM)
  // Nodes that did not open although the system's device list gives them a receiver's ids.
  std::vector<UnopenedNode> unopenedReceivers;
};

// One open receiver. Closing it (destroying it) also ends its grab.
class RemoteDevice {
 public:
  virtual ~RemoteDevice() = default;

  // The descriptor the event loop waits on: readable when events wait, or when the device went.
  virtual int fd() const = 0;
  virtual const std::string& path() const = 0;

  // Event times are CLOCK_MONOTONIC (the decoder's clock) when this is True; otherwise the
  // device could not switch clocks and the reader must stamp events itself.
  virtual bool monotonicTimes() const = 0;

  // While grabbed, no other reader of the node gets its events. `error` (when given) gets the
  // errno of a refusal (EBUSY: another reader holds the grab), or 0.
  virtual bool Grab(bool on, int* error = nullptr) = 0;

  enum class ReadStatus { kDrained, kGone };
  // Appends every event that is waiting, until there is none (kDrained) or the device has gone
  // away or failed (kGone: the caller closes it; reading again would only fail again).
  virtual ReadStatus ReadEvents(std::vector<input_event>& out) = 0;

  // Whether the device has `code` down now; and whether it has any key down. "Now" is the
  // device's own state, which may be ahead of the events read so far.
  virtual bool KeyDown(unsigned code) const = 0;
  virtual bool AnyKeyDown() const = 0;
};

// Tells when receivers may have come or become readable.
class NodeWatch {
 public:
  virtual ~NodeWatch() = default;
  // Readable when something changed; -1 when changes cannot be followed.
  virtual int fd() const = 0;
  // Reads every pending notification. True when a receiver may have become usable.
  virtual bool ReadChanges() = 0;
};

// Where receivers come from: finds them, opens one, and watches for new ones.
class DeviceSource {
 public:
  virtual ~DeviceSource() = default;
  virtual ReceiverScan Scan() = 0;
  // Null when `path` does not open or is no receiver; `error` (when given) gets the errno of a
  // failed open, or 0.
  virtual std::unique_ptr<RemoteDevice> Open(const std::string& path, int* error = nullptr) = 0;
  virtual std::unique_ptr<NodeWatch> WatchNodes() = 0;
};

}  // namespace platform::evdev_remote
