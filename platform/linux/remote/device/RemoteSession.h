#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/linux/remote/device/RemoteDecoder.h"
#include "platform/linux/remote/device/RemoteDevice.h"

namespace platform::evdev_remote {

// What a session needs from the event loop that runs it: two descriptors to wait on and one
// single-shot timer. The session asks for the timer only while a button is being timed or a new
// node is being retried, so an idle session wakes for nothing.
class SessionLoop {
 public:
  virtual ~SessionLoop() = default;
  // Call session.DeviceReadable() whenever `fd` is readable (or hung up); -1 stops that.
  virtual void WatchDevice(int fd) = 0;
  // Call session.InputDirChanged() whenever `fd` is readable; -1 stops that.
  virtual void WatchInputDir(int fd) = 0;
  // Call session.TimerDue() once at `due`; a later call replaces it, nullopt cancels it.
  virtual void SetTimer(std::optional<TimePoint> due) = 0;
  virtual TimePoint Now() = 0;
};

// Listening to the receiver: finds and opens it, decodes its keys into remote events for the
// sink, holds the grab in exclusive mode, and follows it being unplugged and plugged in again.
// Everything runs on the loop's thread; the sink is called from the three entry points below.
class RemoteSession {
 public:
  using Sink = std::function<void(int button, bool down)>;

  // A node that refused opening right after it appeared is tried again this often, this many
  // times (udev sets its permissions a moment after the kernel creates it).
  static constexpr std::chrono::milliseconds kRetryInterval{200};
  static constexpr int kRetries = 10;

  // On the evdev nodes of `inputDir`.
  explicit RemoteSession(SessionLoop& loop, std::string inputDir = "/dev/input");
  RemoteSession(SessionLoop& loop, std::unique_ptr<DeviceSource> source);
  ~RemoteSession();
  RemoteSession(const RemoteSession&) = delete;
  RemoteSession& operator=(const RemoteSession&) = delete;

  // True when a receiver node exists and opens for reading. When one exists and does not open,
  // says on standard error which and why.
  bool Available();
  void Start(Sink sink);
  void Stop();
  void SetExclusive(bool exclusive);

  // The loop's calls.
  void DeviceReadable();
  void InputDirChanged();
  void TimerDue();

  bool listening() const noexcept { return listening_; }
  bool hasDevice() const noexcept { return device_ != nullptr; }
  bool grabbed() const noexcept { return grabbed_; }
  std::string devicePath() const { return device_ ? device_->path() : std::string(); }

 private:
  void TryOpen(bool retryIfRefused);
  void ReadDevice();
  void DropDevice();
  void UpdateGrab();
  void UpdateTimer();
  void Collect(std::vector<RemoteEvent> events);
  void Deliver();
  void TellUnopened(const ReceiverScan& scan);
  void Tell(const std::string& notice);

  SessionLoop& loop_;
  std::unique_ptr<DeviceSource> source_;
  Sink sink_;
  bool listening_ = false;
  bool exclusive_ = false;
  bool grabbed_ = false;
  std::unique_ptr<RemoteDevice> device_;
  std::unique_ptr<NodeWatch> watch_;
  RemoteDecoder decoder_;
  bool resyncing_ = false;  // after SYN_DROPPED, until the next SYN_REPORT
  int retriesLeft_ = 0;
  std::optional<TimePoint> retryAt_;
  std::vector<RemoteEvent> pending_;  // reports not yet handed to the sink
  bool delivering_ = false;
  std::set<std::string> told_;  // each fault is said once, however often it is met again
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace platform::evdev_remote
