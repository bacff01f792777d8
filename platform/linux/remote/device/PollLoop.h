#pragma once

#include <chrono>
#include <functional>
#include <optional>

#include "platform/linux/remote/device/RemoteSession.h"

namespace platform::evdev_remote {

// A plain poll(2) loop for one session, for programs without a GUI event loop (the kernel-level
// tests). Usage: PollLoop loop; RemoteSession session(loop); loop.Attach(session); ...
class PollLoop : public SessionLoop {
 public:
  void Attach(RemoteSession& session) noexcept { session_ = &session; }

  void WatchDevice(int fd) override { deviceFd_ = fd; }
  void WatchInputDir(int fd) override { dirFd_ = fd; }
  void SetTimer(std::optional<TimePoint> due) override { timer_ = due; }
  TimePoint Now() override { return Clock::now(); }

  // Runs the session's callbacks until `done` is True (checked after each one) or `timeout`
  // has passed. Returns done().
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  void RunFor(std::chrono::milliseconds duration) {
    RunUntil([] { return false; }, duration);
  }

  int deviceFd() const noexcept { return deviceFd_; }
  int inputDirFd() const noexcept { return dirFd_; }
  std::optional<TimePoint> timer() const noexcept { return timer_; }

 private:
  RemoteSession* session_ = nullptr;
  int deviceFd_ = -1;
  int dirFd_ = -1;
  std::optional<TimePoint> timer_;
};

}  // namespace platform::evdev_remote
