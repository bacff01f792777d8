// Named temporaries of a replacement, and the clean-up of those that killed saves left behind.
//
// A save holds an flock() lock on its temporary from its creation until the save ends (the
// lock goes with the process, however it ends). A temporary whose lock can be taken therefore
// belongs to no running save, and the next save removes it; one whose lock is held is another
// save at work and stays. A lock is proof where a process id in the name would not be: the id may
// have been reused, or belong to another host or another process namespace sharing the folder.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "platform/Files.h"
#include "platform/common/FilesPosix.h"

namespace platform {

namespace {

bool& Forced() {
  static bool forced = false;
  return forced;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// True when `name` in the folder is still the file open as `fd`.
bool StillNamed(int dirFd, const std::string& name, int fd) {
  struct stat named {
  }, opened{};
  return ::fstatat(dirFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         ::fstat(fd, &opened) == 0 && SameFile(named, opened);
}

// The names of the folder's temporaries for `prefix`: the prefix and at least one more byte.
std::vector<std::string> TemporaryNames(int dirFd, const std::string& prefix) {
  std::vector<std::string> names;
  const int listingFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listingFd < 0) return names;
  DIR* listing = ::fdopendir(listingFd);
  if (listing == nullptr) {
    ::close(listingFd);
    return names;
  }
  while (const dirent* entry = ::readdir(listing)) {
    const std::string_view name = entry->d_name;
    if (name.size() > prefix.size() && name.starts_with(prefix)) names.emplace_back(name);
  }
  ::closedir(listing);
  return names;
}

void RemoveIfAbandoned(int dirFd, const std::string& name) {
  // Only regular files are opened: a device, FIFO or socket of that name is never touched.
  struct stat seen {};
  if (::fstatat(dirFd, name.c_str(), &seen, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(seen.st_mode))
    return;
  posix::FileDescriptor fd(
      ::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat opened {};
  if (!fd.Valid() || ::fstat(fd.Get(), &opened) != 0 || !SameFile(seen, opened)) return;
  if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) return;  // a running save holds it
  // Its save may have ended between the listing and the lock, renaming the file into place.
  if (!StillNamed(dirFd, name, fd.Get())) return;
  (void)::unlinkat(dirFd, name.c_str(), 0);
}

}  // namespace

bool ForceNamedTemporaryFiles(bool force) { return std::exchange(Forced(), force); }

namespace posix {

bool NamedTemporariesForced() noexcept { return Forced(); }

std::string TemporaryPrefix(std::string_view fileName) {
  return "." + std::string(fileName) + ".new-";
}

NamedTemporary CreateNamedTemporary(int dirFd, const std::string& folder, std::string_view fileName,
                                    const std::string& pathForErrors) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string pattern = Join(folder, TemporaryPrefix(fileName) + "XXXXXX");
    FileDescriptor fd(::mkostemp(pattern.data(), O_CLOEXEC));
    if (!fd.Valid()) ThrowIO(pathForErrors, errno);
    std::string name = NameOf(pattern);
    // Another save's clean-up can come upon the new file before it is locked here; it then
    // holds the lock or has removed the name, and this save takes another name. A file system
    // without flock() leaves the file unlocked, and then no clean-up removes it either.
    const bool locked = ::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0;
    if (!locked && errno == EWOULDBLOCK) continue;
    if (StillNamed(dirFd, name, fd.Get())) return {std::move(fd), std::move(name)};
  }
  ThrowIO(pathForErrors, EEXIST);
}

void RemoveAbandonedTemporaries(int dirFd, std::string_view fileName) noexcept {
  try {
    for (const auto& name : TemporaryNames(dirFd, TemporaryPrefix(fileName)))
      RemoveIfAbandoned(dirFd, name);
  } catch (...) {
    // Out of memory while listing: the strays wait for a later save.
  }
}

}  // namespace posix

}  // namespace platform
