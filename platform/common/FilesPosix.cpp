#include "platform/common/FilesPosix.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/Exceptions.h"

namespace platform::posix {

std::string ErrorText(int err) { return std::strerror(err); }

void ThrowIO(const std::string& path, int err) { throw IOException(path, ErrorText(err)); }

FileDescriptor::FileDescriptor(FileDescriptor&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)) {}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

FileDescriptor::~FileDescriptor() { Close(); }

int FileDescriptor::Close() noexcept {
  if (fd_ < 0) return 0;
  // Linux releases the descriptor even when close() fails, so it is never retried.
  const int result = ::close(std::exchange(fd_, -1));
  return result == 0 ? 0 : errno;
}

void WriteAll(int fd, std::string_view data, const std::string& pathForErrors) {
  while (!data.empty()) {
    const ssize_t written = ::write(fd, data.data(), data.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      ThrowIO(pathForErrors, errno);
    }
    data.remove_prefix(static_cast<std::size_t>(written));
  }
}

std::string ParentOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Join(const std::string& folder, std::string_view name) {
  std::string joined = folder;
  if (joined.empty() || joined.back() != '/') joined += '/';
  joined += name;
  return joined;
}

bool IsDirectory(const std::string& path) noexcept {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsSpecialFile(mode_t mode) noexcept {
  return S_ISCHR(mode) || S_ISBLK(mode) || S_ISFIFO(mode) || S_ISSOCK(mode);
}

}  // namespace platform::posix
