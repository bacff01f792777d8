#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>
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
    if (!SkipPending()) return line;
    do {
      const char* begin = buffer_.data() + position_;
      const std::size_t available = length_ - position_;
      const char* end = std::find_if(begin, begin + available, IsLineEnd);
      const auto count = static_cast<std::size_t>(end - begin);
      line.append(begin, count);
      position_ += count;
      if (count < available) {
        // The terminator: LF, or CR with the LF that may follow it, perhaps in the next read.
        ++position_;
        afterCr_ = *end == '\r';
        return line;
      }
    } while (Fill());
    return line;
  }

  bool AtEOF() override { return !SkipPending(); }

 private:
  static bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }

  // Passes over what belongs to no line: the byte order mark at the start of the file and the
  // LF of a CR LF whose CR ended the previous line. False at the end of the file.
  bool SkipPending() {
    if (atStart_) {
      atStart_ = false;
      SkipByteOrderMark();
    }
    if (!Fill()) return false;
    if (afterCr_) {
      afterCr_ = false;
      if (buffer_[position_] == '\n') ++position_;
    }
    return Fill();
  }

  // The UTF-8 byte order mark that some editors put first. Reads until the buffer holds as many
  // bytes as the mark, or the whole file when it is shorter.
  void SkipByteOrderMark() {
    static constexpr std::string_view kMark = "\xEF\xBB\xBF";
    while (length_ < kMark.size() && Read(length_)) {
    }
    if (std::string_view(buffer_.data(), length_).starts_with(kMark)) position_ = kMark.size();
  }

  // Makes sure unread bytes are buffered; false at the end of the file.
  bool Fill() {
    if (position_ < length_) return true;
    position_ = length_ = 0;
    return Read(0);
  }

  // Reads into the buffer after its first `keep` bytes; false at the end of the file.
  bool Read(std::size_t keep) {
    if (atEnd_) return false;
    for (;;) {
      const ssize_t got = ::read(fd_.Get(), buffer_.data() + keep, buffer_.size() - keep);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) posix::ThrowIO(path_, errno);
      length_ = keep + static_cast<std::size_t>(got);
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
  bool atStart_ = true;
  bool afterCr_ = false;  // the last line ended at a CR: an LF next is part of its terminator
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
