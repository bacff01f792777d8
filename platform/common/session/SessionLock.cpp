#include "platform/common/session/SessionLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform::session_guard {
namespace {

std::string Failure(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether `path` still names the open file `fd`: a holder removes the file as it lets go, and
// whoever opened it just before holds a lock on a file that no one else will find.
bool PathNames(const std::string& path, int fd) {
  struct stat opened {
  }, named{};
  return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 && SameFile(opened, named);
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  for (off_t offset = 0;;) {
    const ssize_t got = ::pread(fd, buffer, sizeof buffer, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || text.size() > 65536) return text;
    text.append(buffer, static_cast<std::size_t>(got));
    offset += got;
  }
}

}  // namespace

HeldLock::~HeldLock() {
  if (PathNames(path_, fd_)) ::unlink(path_.c_str());
  ::close(fd_);
}

bool HeldLock::Publish(std::string_view record) {
  if (::ftruncate(fd_, 0) != 0) return false;
  for (std::size_t done = 0; done < record.size();) {
    const ssize_t wrote =
        ::pwrite(fd_, record.data() + done, record.size() - done, static_cast<off_t>(done));
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

LockAttempt TryLock(const std::string& path) {
  LockAttempt attempt;
  // A few rounds: each one that loses is a holder that let go just as it was looked at.
  for (int round = 0; round < 10; ++round) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
      attempt.failure = Failure("cannot open", path);
      return attempt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
      ::close(fd);
      attempt.failure = path + " is not a plain file";
      return attempt;
    }
    int locked;
    while ((locked = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (locked != 0) {
      if (errno == EWOULDBLOCK) {
        attempt.taken = true;
        attempt.holderRecord = ReadAll(fd);
      } else {
        attempt.failure = Failure("cannot lock", path);
      }
      ::close(fd);
      return attempt;
    }
    if (PathNames(path, fd)) {
      attempt.held = std::make_unique<HeldLock>(fd, path);
      return attempt;
    }
    ::close(fd);
  }
  attempt.failure = path + " keeps being replaced";
  return attempt;
}

}  // namespace platform::session_guard
