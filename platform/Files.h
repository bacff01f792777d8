#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/Strings.h"

namespace platform {

class TextInputStream;
class TextOutputStream;
class FolderItem;

using FolderItemRef = std::shared_ptr<FolderItem>;
using TextInputStreamRef = std::shared_ptr<TextInputStream>;
using TextOutputStreamRef = std::shared_ptr<TextOutputStream>;

// A file or folder named by an absolute path; it need not exist.
class FolderItem {
 public:
  explicit FolderItem(String absolutePath);

  // The item of that name inside this folder, whether or not it exists; nil for a name that
  // cannot name a child (empty, ".", "..", or containing '/' or NUL).
  FolderItemRef Child(std::string_view name) const;
  bool Exists() const;
  // Removes the file; the outcome is reported but callers may ignore it.
  bool Delete() const;
  const String& AbsolutePath() const noexcept { return path_; }

  // A new empty text file in this item's place and a stream on it; nil when it cannot be made.
  TextOutputStreamRef CreateTextFile() const;
  // A stream at the start of the file; nil when it cannot be opened for reading.
  TextInputStreamRef OpenAsTextFile() const;

  // Replaces the file's content as one step: the stream writes to a temporary file beside it,
  // and Commit() flushes, syncs and renames it over this item (through a symbolic link, onto
  // the link's target). Until Commit() succeeds the old file is untouched; a stream released
  // without Commit() removes its temporary file. Raises IOException when it cannot begin.
  std::shared_ptr<class AtomicTextOutputStream> ReplaceTextFile() const;

  // The four-character file type code, kept as the extended attribute "user.mactype" where the
  // file system allows it. Setting it never fails; reading gives "" when none is recorded.
  void SetMacType(std::string_view type) const;
  String MacType() const;

 private:
  String path_;
};

// Resolves a full path text back to its item; nil for a text that names no item (empty is the
// folder that holds the running executable, see below). `mode` is accepted and ignored.
FolderItemRef GetFolderItem(std::string_view path, int mode = 0);

namespace SpecialFolder {
// $XDG_CONFIG_HOME when set and absolute, else $HOME/.config; created (mode 0700) when missing.
// Nil when neither can be had.
FolderItemRef Preferences();
// $XDG_DATA_HOME when set and absolute, else $HOME/.local/share. Nil when neither can be had.
FolderItemRef ApplicationData();
}  // namespace SpecialFolder

// Reads lines. Accepts LF and CR LF as terminators; a last line without a terminator is a line.
class TextInputStream {
 public:
  virtual ~TextInputStream() = default;
  // The next line without its terminator; the empty text at the end of the stream. Raises
  // IOException when the read itself fails.
  virtual String ReadLine() = 0;
  // True when no further line can be read.
  // (Spelled AtEOF because EOF is a C macro.)
  virtual bool AtEOF() = 0;
};

// Writes lines, each followed by LF. Released streams close their file.
class TextOutputStream {
 public:
  virtual ~TextOutputStream() = default;
  // Raises IOException when the write fails.
  virtual void WriteLine(std::string_view text) = 0;
};

class AtomicTextOutputStream : public TextOutputStream {
 public:
  // Flush, fsync, rename over the target, fsync the folder. Raises IOException and leaves the
  // old file as it was when any step fails.
  virtual void Commit() = 0;
  // The temporary file's item, so that its type can be set before Commit().
  virtual FolderItemRef TemporaryItem() const = 0;
};

}  // namespace platform
