#pragma once

#include <linux/input.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::evdev_remote {

// The receivers the kernel's infrared driver binds to: Apple's vendor id and these products.
inline constexpr std::uint16_t kReceiverVendor = 0x05ac;
inline constexpr std::uint16_t kReceiverProducts[] = {0x8240, 0x8241, 0x8242, 0x8243, 0x1440};

bool IsReceiverId(std::uint16_t vendor, std::uint16_t product) noexcept;

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

// Looks at every event<N> node in `dir` (in the order of N) and asks each for its ids.
ReceiverScan ScanForReceivers(const std::string& dir);
std::vector<std::string> FindReceiverNodes(const std::string& dir);

// One open receiver node, non-blocking. Closes it when destroyed (which also ends a grab).
class EvdevRemoteDevice {
 public:
  // Opens `path` for reading and checks its ids. Null when it does not open or is no receiver;
  // `error` (when given) gets the errno of a failed open, or 0.
  static std::unique_ptr<EvdevRemoteDevice> Open(const std::string& path, int* error = nullptr);

  ~EvdevRemoteDevice();
  EvdevRemoteDevice(const EvdevRemoteDevice&) = delete;
  EvdevRemoteDevice& operator=(const EvdevRemoteDevice&) = delete;

  int fd() const noexcept { return fd_; }
  const std::string& path() const noexcept { return path_; }

  // Event times are CLOCK_MONOTONIC (the decoder's clock) when this is True; otherwise the
  // kernel could not switch clocks and the reader must stamp events itself.
  bool monotonicTimes() const noexcept { return monotonic_; }

  // EVIOCGRAB: while grabbed, no other reader of the node gets its events. `error` (when
  // given) gets the errno of a refusal (EBUSY: another reader holds the grab), or 0.
  bool Grab(bool on, int* error = nullptr) noexcept;

  enum class ReadStatus { kDrained, kGone };
  // Appends every event that is waiting, until the node has none (kDrained) or the device has
  // gone away or failed (kGone: the caller closes it; reading again would only fail again).
  ReadStatus ReadEvents(std::vector<input_event>& out);

  // EVIOCGKEY: whether the kernel has `code` down now; and whether any key is down.
  bool KeyDown(unsigned code) const;
  bool AnyKeyDown() const;

 private:
  EvdevRemoteDevice(int fd, std::string path, bool monotonic)
      : fd_(fd), path_(std::move(path)), monotonic_(monotonic) {}
  bool KeyState(std::vector<unsigned char>& bits) const;

  int fd_;
  std::string path_;
  bool monotonic_;
};

}  // namespace platform::evdev_remote
