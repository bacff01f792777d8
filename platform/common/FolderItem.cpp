#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <utility>

#include "platform/Files.h"
#include "platform/common/FilesPosix.h"

namespace platform {

namespace {

// Absolute paths only; drops empty and "." components. ".." is left to the kernel, which
// resolves it against the real folders (a textual collapse would be wrong across links).
std::optional<String> NormalisedAbsolute(std::string_view path) {
  if (path.empty() || path.front() != '/' || path.find('\0') != std::string_view::npos)
    return std::nullopt;
  String normalised;
  std::size_t start = 0;
  while (start < path.size()) {
    auto end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    const auto part = path.substr(start, end - start);
    if (!part.empty() && part != ".") {
      normalised += '/';
      normalised += part;
    }
    start = end + 1;
  }
  if (normalised.empty()) normalised = "/";
  return normalised;
}

FolderItemRef ExecutableFolder() {
  String target(4096, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", target.data(), target.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) return nullptr;
  target.resize(static_cast<std::size_t>(length));
  return std::make_shared<FolderItem>(posix::ParentOf(target));
}

// What the path leads to, links followed, is a device node, FIFO or socket.
bool IsSpecialFileThere(const String& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && posix::IsSpecialFile(info.st_mode);
}

// True for a regular file, which is then switched back to blocking reads and writes.
bool OpenedRegularFile(const posix::FileDescriptor& fd) {
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  const int flags = ::fcntl(fd.Get(), F_GETFL);
  if (flags >= 0) ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK);
  return true;
}

}  // namespace

FolderItem::FolderItem(String absolutePath) : path_(std::move(absolutePath)) {}

FolderItemRef FolderItem::Child(std::string_view name) const {
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos ||
      name.find('\0') != std::string_view::npos)
    return nullptr;
  return std::make_shared<FolderItem>(posix::Join(path_, name));
}

bool FolderItem::Exists() const {
  struct stat info {};
  return ::stat(path_.c_str(), &info) == 0;
}

bool FolderItem::Delete() const {
  struct stat info {};
  if (::lstat(path_.c_str(), &info) == 0 && posix::IsSpecialFile(info.st_mode)) return false;
  return std::remove(path_.c_str()) == 0;
}

TextOutputStreamRef FolderItem::CreateTextFile() const {
  // Checked before opening as well as after: opening a device can itself act on it, and a FIFO
  // with a reader would take what is written.
  if (IsSpecialFileThere(path_)) return nullptr;
  posix::FileDescriptor fd(
      ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666));
  if (!fd.Valid() || !OpenedRegularFile(fd)) return nullptr;
  return posix::MakeFileOutputStream(std::move(fd), path_);
}

TextInputStreamRef FolderItem::OpenAsTextFile() const {
  // O_NONBLOCK so that a FIFO that takes the file's place meanwhile cannot hang the program.
  if (IsSpecialFileThere(path_)) return nullptr;
  posix::FileDescriptor fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd.Valid() || !OpenedRegularFile(fd)) return nullptr;
  return posix::MakeFileInputStream(std::move(fd), path_);
}

AtomicTextOutputStreamRef FolderItem::ReplaceTextFile() const {
  return posix::MakeAtomicOutputStream(path_);
}

FolderItemRef GetFolderItem(std::string_view path, int /*mode*/) {
  if (path.empty()) return ExecutableFolder();
  auto normalised = NormalisedAbsolute(path);
  if (!normalised) return nullptr;
  if (*normalised != "/" && !posix::IsDirectory(posix::ParentOf(*normalised))) return nullptr;
  return std::make_shared<FolderItem>(std::move(*normalised));
}

}  // namespace platform
