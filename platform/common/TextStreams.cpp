#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/Files.h"
#include "platform/common/FilesPosix.h"

namespace platform {

namespace {

ReadLineProbe& Probe() {
  static ReadLineProbe probe;
  return probe;
}

class FileInputStream final : public TextInputStream {
 public:
  FileInputStream(posix::FileDescriptor fd, String path)
      : fd_(std::move(fd)), path_(std::move(path)), buffer_(64 * 1024) {}

  String ReadLine() override {
    ++linesRead_;
    if (auto& probe = Probe()) probe(path_, linesRead_);
    String line;
    while (Fill()) {
      const char* begin = buffer_.data() + position_;
      const std::size_t available = length_ - position_;
      if (const void* lf = std::memchr(begin, '\n', available)) {
        const auto count = static_cast<std::size_t>(static_cast<const char*>(lf) - begin);
        line.append(begin, count);
        position_ += count + 1;
        // CR LF ends a line too; a CR elsewhere is an ordinary byte and stays.
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
      }
      line.append(begin, available);
      position_ = length_;
    }
    return line;
  }

  bool AtEOF() override { return !Fill(); }

 private:
  // Makes sure unread bytes are buffered; false at the end of the file.
  bool Fill() {
    if (position_ < length_) return true;
    if (atEnd_) return false;
    for (;;) {
      const ssize_t got = ::read(fd_.Get(), buffer_.data(), buffer_.size());
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) posix::ThrowIO(path_, errno);
      position_ = 0;
      length_ = static_cast<std::size_t>(got);
      atEnd_ = got == 0;
      return !atEnd_;
    }
  }

  posix::FileDescriptor fd_;
  String path_;
  std::vector<char> buffer_;
  std::size_t position_ = 0;
  std::size_t length_ = 0;
  bool atEnd_ = false;
  std::uint64_t linesRead_ = 0;
};

// Writes each line straight through, so that a failing write is reported by the WriteLine
// that caused it rather than lost in a close that nobody checks.
class FileOutputStream final : public TextOutputStream {
 public:
  FileOutputStream(posix::FileDescriptor fd, String path)
      : fd_(std::move(fd)), path_(std::move(path)) {}

  void WriteLine(std::string_view text) override {
    String line;
    line.reserve(text.size() + 1);
    line.append(text);
    line += '\n';
    posix::WriteAll(fd_.Get(), line, path_);
  }

 private:
  posix::FileDescriptor fd_;
  String path_;
};

}  // namespace

ReadLineProbe SetReadLineProbe(ReadLineProbe probe) {
  return std::exchange(Probe(), std::move(probe));
}

TextOutputStreamRef posix::MakeFileOutputStream(FileDescriptor fd, std::string path) {
  return std::make_shared<FileOutputStream>(std::move(fd), std::move(path));
}

TextInputStreamRef posix::MakeFileInputStream(FileDescriptor fd, std::string path) {
  return std::make_shared<FileInputStream>(std::move(fd), std::move(path));
}

}  // namespace platform
