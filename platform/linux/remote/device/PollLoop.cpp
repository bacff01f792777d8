#include "platform/linux/remote/device/PollLoop.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>

namespace platform::evdev_remote {

bool PollLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const TimePoint end = Now() + timeout;
  while (!done()) {
    const TimePoint now = Now();
    if (timer_ && *timer_ <= now) {
      timer_.reset();  // single-shot
      if (session_ != nullptr) session_->TimerDue();
      continue;
    }
    if (now >= end) return done();
    const TimePoint wakeAt = timer_ ? std::min(*timer_, end) : end;
    const auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(wakeAt - now).count();

    pollfd fds[2] = {{deviceFd_, POLLIN, 0}, {dirFd_, POLLIN, 0}};  // poll skips fd -1
    const int ready = poll(fds, 2, static_cast<int>(waitMs));
    if (ready < 0 && errno != EINTR) return done();
    if (ready <= 0 || session_ == nullptr) continue;
    // A callback may change what is watched: only call one whose descriptor is still watched.
    if (fds[0].revents != 0 && fds[0].fd == deviceFd_) session_->DeviceReadable();
    if (fds[1].revents != 0 && fds[1].fd == dirFd_) session_->InputDirChanged();
  }
  return true;
}

}  // namespace platform::evdev_remote
