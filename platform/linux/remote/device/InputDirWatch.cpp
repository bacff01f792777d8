#include "platform/linux/remote/device/InputDirWatch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

namespace platform::evdev_remote {
namespace {

constexpr std::uint32_t kNodeChanges = IN_CREATE | IN_ATTRIB | IN_MOVED_TO;

std::string ParentOf(const std::string& dir) {
  const auto slash = dir.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return dir.substr(0, slash);
}

std::string_view BaseName(const std::string& dir) {
  const auto slash = dir.find_last_of('/');
  return slash == std::string::npos ? std::string_view(dir)
                                    : std::string_view(dir).substr(slash + 1);
}

}  // namespace

InputDirWatch::InputDirWatch(std::string dir) : dir_(std::move(dir)) {
  fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ >= 0) WatchFolderOrParent();
}

InputDirWatch::~InputDirWatch() {
  if (fd_ >= 0) close(fd_);
}

void InputDirWatch::WatchFolderOrParent() {
  dirWatch_ = inotify_add_watch(fd_, dir_.c_str(), kNodeChanges | IN_ONLYDIR);
  if (dirWatch_ >= 0) {
    if (parentWatch_ >= 0) inotify_rm_watch(fd_, parentWatch_);
    parentWatch_ = -1;
  } else if (parentWatch_ < 0) {
    parentWatch_ = inotify_add_watch(fd_, ParentOf(dir_).c_str(), IN_CREATE | IN_MOVED_TO);
  }
}

bool InputDirWatch::ReadChanges() {
  if (fd_ < 0) return false;
  bool changed = false;
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t got = read(fd_, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;  // EAGAIN: all read
    for (ssize_t at = 0; at < got;) {
      inotify_event header;
      std::memcpy(&header, buffer + at, sizeof header);
      const char* name = buffer + at + static_cast<ssize_t>(sizeof header);
      const std::string_view entry(name, header.len > 0 ? strnlen(name, header.len) : 0);
      at += static_cast<ssize_t>(sizeof header + header.len);

      if (header.mask & IN_Q_OVERFLOW) {
        changed = true;
      } else if (header.wd == dirWatch_ && (header.mask & IN_IGNORED)) {
        dirWatch_ = -1;  // the folder went away: wait for it to come back
        WatchFolderOrParent();
      } else if (header.wd == dirWatch_ && entry.substr(0, 5) == "event") {
        changed = true;
      } else if (header.wd == parentWatch_ && entry == BaseName(dir_)) {
        WatchFolderOrParent();
        changed = true;  // nodes may have been created before the watch was in place
      }
    }
  }
  return changed;
}

}  // namespace platform::evdev_remote
