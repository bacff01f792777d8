// Which file a replacement renames its new content over. A settings file kept as a symbolic
// link (as dotfile managers do) is replaced where the link points, so the link stays; but only
// where that can hold a regular file: an existing regular file, or a name not yet taken in a
// folder that exists. A link that ends anywhere else (at a device, FIFO, socket or folder, in a
// missing folder, or in a loop) is itself replaced by a regular file, as deleting the file and
// creating it anew would do, and what it pointed at is left as it is.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

#include "platform/Exceptions.h"
#include "platform/common/FilesPosix.h"

namespace platform::posix {

namespace {

constexpr int kMaxLinkHops = 40;  // as the kernel's own limit

std::string ReadLink(const std::string& link) {
  std::string target(PATH_MAX, '\0');
  const ssize_t length = ::readlink(link.c_str(), target.data(), target.size());
  if (length < 0) ThrowIO(link, errno);
  target.resize(static_cast<std::size_t>(length));
  return (!target.empty() && target.front() == '/') ? target : Join(ParentOf(link), target);
}

}  // namespace

std::string ReplacementDestination(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) {
    if (errno == ENOENT) return path;  // a new file; a missing folder is reported when opened
    ThrowIO(path, errno);
  }
  // A folder in the file's place is left to the rename, which refuses it.
  if (IsSpecialFile(info.st_mode)) throw IOException(path, "not a regular file");
  if (!S_ISLNK(info.st_mode)) return path;

  std::string current = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    current = ReadLink(current);
    if (::lstat(current.c_str(), &info) != 0) {
      const int err = errno;
      if (err == ENOENT && IsDirectory(ParentOf(current))) return current;
      // Nowhere the file could be made: a missing folder, a file or a loop on the way, a name
      // the system cannot take. Anything else (no permission, say) is the user's to mend.
      if (err == ENOENT || err == ENOTDIR || err == ELOOP || err == ENAMETOOLONG) return path;
      ThrowIO(current, err);
    }
    if (S_ISREG(info.st_mode)) return current;
    if (!S_ISLNK(info.st_mode)) return path;
  }
  return path;  // a loop
}

}  // namespace platform::posix
