#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/linux/remote/device/RemoteDevice.h"

namespace platform::evdev_remote {

// The receivers the kernel's infrared driver binds to: Apple's vendor id and these products.
inline constexpr std::uint16_t kReceiverVendor = 0x05ac;
inline constexpr std::uint16_t kReceiverProducts[] = {0x8240, 0x8241, 0x8242, 0x8243, 0x1440};

bool IsReceiverId(std::uint16_t vendor, std::uint16_t product) noexcept;

// Looks at every event<N> node in `dir` (in the order of N) and asks each for its ids.
ReceiverScan ScanForReceivers(const std::string& dir);
std::vector<std::string> FindReceiverNodes(const std::string& dir);

// One open receiver node, non-blocking. Closes it when destroyed (which also ends a grab).
class EvdevRemoteDevice final : public RemoteDevice {
 public:
  // Opens `path` for reading and checks its ids. Null when it does not open or is no receiver;
  // `error` (when given) gets the errno of a failed open, or 0.
  static std::unique_ptr<EvdevRemoteDevice> Open(const std::string& path, int* error = nullptr);

  ~EvdevRemoteDevice() override;
  EvdevRemoteDevice(const EvdevRemoteDevice&) = delete;
  EvdevRemoteDevice& operator=(const EvdevRemoteDevice&) = delete;

  int fd() const override { return fd_; }
  const std::string& path() const override { return path_; }
  // False when EVIOCSCLOCKID failed.
  bool monotonicTimes() const override { return monotonic_; }
  // EVIOCGRAB.
  bool Grab(bool on, int* error = nullptr) override;
  ReadStatus ReadEvents(std::vector<input_event>& out) override;
  // EVIOCGKEY.
  bool KeyDown(unsigned code) const override;
  bool AnyKeyDown() const override;

 private:
  EvdevRemoteDevice(int fd, std::string path, bool monotonic)
      : fd_(fd), path_(std::move(path)), monotonic_(monotonic) {}
  bool KeyState(std::vector<unsigned char>& bits) const;

  int fd_;
  std::string path_;
  bool monotonic_;
};

// The event nodes of an input folder, followed through inotify.
class EvdevDeviceSource final : public DeviceSource {
 public:
  explicit EvdevDeviceSource(std::string dir) : dir_(std::move(dir)) {}
  ReceiverScan Scan() override { return ScanForReceivers(dir_); }
  std::unique_ptr<RemoteDevice> Open(const std::string& path, int* error = nullptr) override {
    return EvdevRemoteDevice::Open(path, error);
  }
  std::unique_ptr<NodeWatch> WatchNodes() override;

 private:
  std::string dir_;
};

}  // namespace platform::evdev_remote
