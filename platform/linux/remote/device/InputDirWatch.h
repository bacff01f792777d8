#pragma once

#include <string>

#include "platform/linux/remote/device/RemoteDevice.h"

namespace platform::evdev_remote {

// Watches the input folder through inotify for event nodes that appear or change their
// permissions (udev grants access a moment after the kernel creates a node). When the folder
// itself does not exist yet (a machine with no input device at all), watches its parent until
// it appears. The descriptor is non-blocking; the owner waits for it to become readable.
class InputDirWatch final : public NodeWatch {
 public:
  explicit InputDirWatch(std::string dir);
  ~InputDirWatch() override;
  InputDirWatch(const InputDirWatch&) = delete;
  InputDirWatch& operator=(const InputDirWatch&) = delete;

  // -1 when inotify is unavailable (then hotplug goes unnoticed, and nothing else changes).
  int fd() const override { return fd_; }

  // Reads every pending notification. True when an event node may have become usable (or the
  // kernel dropped notifications, so anything may have happened).
  bool ReadChanges() override;

 private:
  void WatchFolderOrParent();

  std::string dir_;
  int fd_ = -1;
  int dirWatch_ = -1;
  int parentWatch_ = -1;
};

}  // namespace platform::evdev_remote
