#pragma once

// Helpers shared by the file services' POSIX implementation. Private to platform/common.

#include <sys/types.h>

#include <string>
#include <string_view>

#include "platform/Files.h"

namespace platform::posix {

// Linux has no file type codes; a user extended attribute keeps the code with the file.
inline constexpr const char* kMacTypeAttribute = "user.mactype";

// The system's text for an errno value.
std::string ErrorText(int err);

[[noreturn]] void ThrowIO(const std::string& path, int err);

// Owns one file descriptor; closes it on release.
class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept;
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor();

  int Get() const noexcept { return fd_; }
  bool Valid() const noexcept { return fd_ >= 0; }
  // Closes now and gives close()'s errno (0 when it succeeded), since close can report a
  // delayed write error that a save must not ignore.
  int Close() noexcept;

 private:
  int fd_ = -1;
};

// Writes every byte, retrying after interruptions and short writes; IOException on failure.
void WriteAll(int fd, std::string_view data, const std::string& pathForErrors);

// "/a/b" -> "/a", "/a" -> "/", "/" -> "/".
std::string ParentOf(const std::string& path);
// "/a/b" -> "b", "/" -> "".
std::string NameOf(const std::string& path);
// `folder` joined with `name`, without doubling the slash at the root.
std::string Join(const std::string& folder, std::string_view name);

bool IsDirectory(const std::string& path) noexcept;

// A device node, FIFO or socket. The file services never write to, rename over or remove one:
// whatever it stands for is not the program's to change.
bool IsSpecialFile(mode_t mode) noexcept;

// A plain (not atomic) line stream on an open descriptor.
TextOutputStreamRef MakeFileOutputStream(FileDescriptor fd, std::string path);
TextInputStreamRef MakeFileInputStream(FileDescriptor fd, std::string path);
AtomicTextOutputStreamRef MakeAtomicOutputStream(const std::string& path);

// Where a replacement of the item at `path` puts the new content (see FilesReplaceDestination).
// Raises IOException for a device node, FIFO or socket in the item's own place.
std::string ReplacementDestination(const std::string& path);

// A replacement's named temporary: "." + the file's name + ".new-" + a unique ending, in the
// file's folder, locked with flock() by the save that writes it until that save ends.
std::string TemporaryPrefix(std::string_view fileName);
struct NamedTemporary {
  FileDescriptor fd;
  std::string name;
};
// A new, empty, locked temporary (mode 0600) in the folder open as `dirFd` at `folder`.
NamedTemporary CreateNamedTemporary(int dirFd, const std::string& folder, std::string_view fileName,
                                    const std::string& pathForErrors);
// Removes the temporaries of `fileName` that saves killed midway left behind; those whose lock a
// running save holds stay. Best effort: whatever cannot be examined is left alone.
void RemoveAbandonedTemporaries(int dirFd, std::string_view fileName) noexcept;
// True while tests force the named temporary in place of an unnamed O_TMPFILE one.
bool NamedTemporariesForced() noexcept;

}  // namespace platform::posix
