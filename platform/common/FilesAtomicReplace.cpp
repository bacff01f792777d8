// The settings file (and any other file the program rewrites) is replaced, never rewritten in
// place: the new content goes to a temporary file in the same folder and is renamed over the
// old one only once it is complete and on disk. Whatever fails or kills the process midway, the
// folder holds the old file or the new one.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

#include "platform/Exceptions.h"
#include "platform/Files.h"
#include "platform/common/FilesPosix.h"

namespace platform {

namespace {

mode_t CreationMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

class AtomicFileStream final : public AtomicTextOutputStream {
 public:
  explicit AtomicFileStream(const String& itemPath)
      : target_(posix::ReplacementDestination(itemPath)),
        folder_(posix::ParentOf(target_)),
        name_(posix::NameOf(target_)) {
    dir_ = posix::FileDescriptor(::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir_.Valid()) posix::ThrowIO(folder_, errno);

    // The replacement keeps the old file's permissions, but always lets its owner read and
    // write it: an old file the owner could not read would otherwise come back just as
    // unreadable after every save. A new file gets the usual permissions.
    mode_ = CreationMode();
    struct stat info {};
    if (::stat(target_.c_str(), &info) == 0 && S_ISREG(info.st_mode))
      mode_ = (info.st_mode & 07777) | S_IRUSR | S_IWUSR;

    posix::RemoveAbandonedTemporaries(dir_.Get(), name_);
    // An unnamed file vanishes by itself when the process dies before the rename, so a killed
    // save leaves no stray file; file systems without O_TMPFILE get a named temporary instead,
    // which the next save removes. Until Commit the temporary is the owner's alone.
    int unnamedError = EOPNOTSUPP;  // as on a file system without O_TMPFILE
    if (!posix::NamedTemporariesForced()) {
      fd_ = posix::FileDescriptor(
          ::openat(dir_.Get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, S_IRUSR | S_IWUSR));
      unnamedError = errno;
    }
    if (fd_.Valid()) {
      (void)::flock(fd_.Get(), LOCK_EX | LOCK_NB);  // nobody else can reach it yet
    } else {
      if (unnamedError != EOPNOTSUPP && unnamedError != EISDIR && unnamedError != EINVAL)
        posix::ThrowIO(target_, unnamedError);
      auto temporary = posix::CreateNamedTemporary(dir_.Get(), folder_, name_, target_);
      fd_ = std::move(temporary.fd);
      tempName_ = std::move(temporary.name);
    }
    // The lock must outlive the writing descriptor, which Commit closes before the rename so
    // that a late write error is still caught; a second descriptor keeps it until the end.
    lock_ = posix::FileDescriptor(::fcntl(fd_.Get(), F_DUPFD_CLOEXEC, 0));
    if (!lock_.Valid()) {
      const int err = errno;
      Discard();
      posix::ThrowIO(target_, err);
    }
  }

  AtomicFileStream(const AtomicFileStream&) = delete;
  AtomicFileStream& operator=(const AtomicFileStream&) = delete;
  ~AtomicFileStream() override { Discard(); }

  void WriteLine(std::string_view text) override {
    RequireOpen();
    String line;
    line.reserve(text.size() + 1);
    line.append(text);
    line += '\n';
    // After a failed write the content is incomplete: it must never be committed.
    try {
      posix::WriteAll(fd_.Get(), line, target_);
    } catch (...) {
      Discard();
      throw;
    }
  }

  void SetMacType(std::string_view type) override {
    if (!fd_.Valid()) return;
    (void)::fsetxattr(fd_.Get(), posix::kMacTypeAttribute, type.data(), type.size(), 0);
  }

  void Commit() override {
    RequireOpen();
    try {
      (void)::fchmod(fd_.Get(), mode_);  // best effort, as on file systems without modes
      if (::fsync(fd_.Get()) != 0) posix::ThrowIO(target_, errno);
      if (tempName_.empty()) NameTemporary();
      if (const int err = fd_.Close()) posix::ThrowIO(target_, err);
      RefuseSpecialFileAtTarget();
      if (::renameat(dir_.Get(), tempName_.c_str(), dir_.Get(), name_.c_str()) != 0)
        posix::ThrowIO(target_, errno);
    } catch (...) {
      Discard();
      throw;
    }
    tempName_.clear();
    finished_ = true;
    lock_.Close();
    // The new content is in place now. Syncing the folder makes the rename itself durable;
    // if it fails there is nothing left to undo, and the file is complete either way.
    (void)::fsync(dir_.Get());
    dir_.Close();
  }

 private:
  void RequireOpen() const {
    if (finished_) throw IOException(target_, "the replacement has already ended");
  }

  // Something may have taken the file's place since the save began.
  void RefuseSpecialFileAtTarget() const {
    struct stat info {};
    if (::fstatat(dir_.Get(), name_.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        posix::IsSpecialFile(info.st_mode))
      throw IOException(target_, "not a regular file");
  }

  // Gives the unnamed file a name in the folder, so that it can be renamed over the target.
  void NameTemporary() {
    const String self = "/proc/self/fd/" + std::to_string(fd_.Get());
    for (int attempt = 0; attempt < 100; ++attempt) {
      const String candidate = posix::TemporaryPrefix(name_) + std::to_string(::getpid()) + "-" +
                               std::to_string(attempt);
      // AT_EMPTY_PATH needs a privilege that normal users lack; the /proc link does the same.
      if (::linkat(fd_.Get(), "", dir_.Get(), candidate.c_str(), AT_EMPTY_PATH) == 0 ||
          ::linkat(AT_FDCWD, self.c_str(), dir_.Get(), candidate.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        tempName_ = candidate;
        return;
      }
      if (errno != EEXIST) posix::ThrowIO(target_, errno);
    }
    posix::ThrowIO(target_, EEXIST);
  }

  // Drops the new content: the old file was never touched.
  void Discard() noexcept {
    if (finished_) return;
    finished_ = true;
    fd_.Close();
    if (!tempName_.empty()) (void)::unlinkat(dir_.Get(), tempName_.c_str(), 0);
    tempName_.clear();
    lock_.Close();  // only now that the temporary is gone
    dir_.Close();
  }

  String target_;
  String folder_;
  String name_;
  posix::FileDescriptor dir_;
  posix::FileDescriptor fd_;
  posix::FileDescriptor lock_;  // holds the temporary's lock until the save ends
  mode_t mode_ = 0;
  String tempName_;  // empty while the temporary file has no name
  bool finished_ = false;
};

}  // namespace

AtomicTextOutputStreamRef posix::MakeAtomicOutputStream(const std::string& path) {
  return std::make_shared<AtomicFileStream>(path);
}

}  // namespace platform
