#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Strings.h"

namespace platform {

class TextInputStream;
class TextOutputStream;
class AtomicTextOutputStream;
class FolderItem;

using FolderItemRef = std::shared_ptr<FolderItem>;
using TextInputStreamRef = std::shared_ptr<TextInputStream>;
using TextOutputStreamRef = std::shared_ptr<TextOutputStream>;
using AtomicTextOutputStreamRef = std::shared_ptr<AtomicTextOutputStream>;

// A file or folder named by an absolute path; it need not exist.
class FolderItem {
 public:
  // `absolutePath` is kept as given; GetFolderItem and Child hand out normalised paths.
  explicit FolderItem(String absolutePath);

  // The item of that name inside this folder, whether or not it exists; nil for a name that
  // cannot name a child (empty, ".", "..", or containing '/' or NUL).
  FolderItemRef Child(std::string_view name) const;
  // True when something is on disk at the path (a symbolic link counts by its target).
  bool Exists() const;
  // Removes the file (or an empty folder; a symbolic link itself, not its target); the outcome
  // is reported but callers may ignore it. A device node, FIFO or socket is never removed.
  bool Delete() const;
  const String& AbsolutePath() const noexcept { return path_; }

  // A new empty text file in this item's place (an existing one is emptied) and a stream on
  // it; nil when it cannot be made or something other than a regular file is there.
  TextOutputStreamRef CreateTextFile() const;
  // A stream at the start of the file; nil when it cannot be opened for reading or is not a
  // regular file.
  TextInputStreamRef OpenAsTextFile() const;

  // Replaces the file's content as one step: the stream writes to a temporary file in the same
  // folder, and Commit() flushes, syncs and renames it over this item. Until Commit() succeeds
  // the old file is untouched; a stream released without Commit() removes its temporary file,
  // and a temporary that a killed save left behind is removed by the next replacement.
  // A symbolic link is followed to its final target when that is a regular file or a name not
  // yet taken in a folder that exists, so the link stays; a link to anything else (a device,
  // FIFO, socket or folder, into a missing folder, or in a loop) is itself replaced by the new
  // file. A device node, FIFO or socket is never written to, renamed over or removed: one in
  // the item's own place raises IOException, as does a folder there at Commit. Raises
  // IOException when it cannot begin.
  AtomicTextOutputStreamRef ReplaceTextFile() const;

  // The four-character file type code, kept as the extended attribute "user.mactype" where the
  // file system allows it. Setting it never fails; reading gives "" when none is recorded.
  void SetMacType(std::string_view type) const;
  String MacType() const;

 private:
  String path_;
};

// Resolves a full path text back to its item. The empty text is the folder that holds the
// running executable. Any other text must be absolute and its parent folder must exist;
// repeated and trailing slashes and "." components are dropped. Everything else (a relative
// path, a NUL byte, a missing parent) names no item and gives nil. `mode` is accepted and ignored.
FolderItemRef GetFolderItem(std::string_view path, int mode = 0);

namespace SpecialFolder {
// $XDG_CONFIG_HOME when set and absolute, else $HOME/.config (the home folder from the user
// database when HOME is unusable); created with its missing parents (mode 0700) so that a new
// user's first save works. Nil when it cannot be had or made.
FolderItemRef Preferences();
// $XDG_DATA_HOME when set and absolute, else $HOME/.local/share. Not created. Nil when there
// is no home folder.
FolderItemRef ApplicationData();
}  // namespace SpecialFolder

// Reads lines. LF, CR LF and a lone CR each end a line; a last line without a terminator is a
// line. A UTF-8 byte order mark at the very start is skipped; every other byte is kept as read.
class TextInputStream {
 public:
  virtual ~TextInputStream() = default;
  // The next line without its terminator; the empty text at the end of the stream. Raises
  // IOException when the read itself fails.
  virtual String ReadLine() = 0;
  // True when no further line can be read. Raises IOException when the look-ahead read fails.
  // (Spelled AtEOF because EOF is a C macro.)
  virtual bool AtEOF() = 0;
};

// Writes lines, each followed by LF, byte for byte as given (a line break inside the text is
// written as it is: callers that need one line per text keep it out). Released streams close
// their file.
class TextOutputStream {
 public:
  virtual ~TextOutputStream() = default;
  // Raises IOException when the write fails (writes may be buffered until the stream closes
  // or commits).
  virtual void WriteLine(std::string_view text) = 0;
};

class AtomicTextOutputStream : public TextOutputStream {
 public:
  // Records the type code on the new content, so that it arrives together with it. Best
  // effort, like FolderItem::SetMacType: never fails.
  virtual void SetMacType(std::string_view type) = 0;
  // Flush, fsync, rename over the target, sync the folder. Raises IOException (the target's
  // path and the system's error text), removes the temporary file and leaves the old file as
  // it was when any step up to the rename fails. Writing after Commit is an error.
  virtual void Commit() = 0;
};

// Fault injection for tests: when set, every TextInputStream::ReadLine first calls the probe
// with the stream's path and the 1-based number of the line about to be read; an exception
// thrown by the probe is that read's failure. Returns the previous probe.
using ReadLineProbe = std::function<void(const String& path, std::uint64_t lineNumber)>;
ReadLineProbe SetReadLineProbe(ReadLineProbe probe);

// For tests: while set, ReplaceTextFile uses a named temporary file, as on file systems without
// unnamed ones (O_TMPFILE). Returns the previous setting.
bool ForceNamedTemporaryFiles(bool force);

}  // namespace platform
