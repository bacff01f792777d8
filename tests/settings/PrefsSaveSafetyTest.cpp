// A save must never lose the settings: neither a failing write nor a process killed in the
// middle of a save may leave anything but the old file or the complete new one.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/Exceptions.h"
#include "platform/Files.h"
#include "platform/Yield.h"
#include "settings/BrioEasyPrefs.h"
#include "tests/settings/PrefsTestSupport.h"
#include "tests/support/ForcedNamedTemporaries.h"

using namespace BrioEasyPrefs;
using testsupport::Entries;
using testsupport::Names;
using testsupport::ReadBytes;
using testsupport::StoreEntries;

namespace {

using PrefsSaveSafety = testsupport::PrefsTest;
const std::set<std::string> kOnlyTheFile{"ZibRemote.ini"};
const std::string kOldFile = "Key1\nF1\nShift1\r\ntrue\r\nno terminator";
constexpr int kNewEntries = 3000;

std::string NewName(int i) { return "name" + std::to_string(i); }
std::string NewValue(int i) {
  return "a value long enough to need many writes " + std::to_string(i);
}

// The file that a complete save of the old entries plus the new ones gives.
std::string NewFile() {
  std::string file = "Key1\nF1\nShift1\ntrue\nno terminator\n\n";
  for (int i = 0; i < kNewEntries; ++i) file += NewName(i) + "\n" + NewValue(i) + "\n";
  return file;
}

void AddNewEntries() {
  for (int i = 0; i < kNewEntries; ++i) SetPrefString(NewName(i), NewValue(i));
}

void WriteByte(int fd, char c) {
  while (::write(fd, &c, 1) < 0 && errno == EINTR) {
  }
}

// False at the end of the pipe, when the other side has gone.
bool ReadByte(int fd, char& c) {
  ssize_t got;
  while ((got = ::read(fd, &c, 1)) < 0 && errno == EINTR) {
  }
  return got == 1;
}

// A forked child that talks to the test over two pipes, one byte at a time. The child is killed
// and reaped however the test ends, a failed assertion included, so that nothing is left
// running; and it exits by itself when the test process goes, since it holds no write end of
// the pipe it reads.
class Child {
 public:
  // `body` runs in the child with the descriptor it reads from and the one it writes to.
  template <class Body>
  explicit Child(Body body) {
    int toChild[2], fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0)
      throw std::runtime_error("pipe failed");
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      ::close(toChild[1]);
      ::close(fromChild[0]);
      body(toChild[0], fromChild[1]);
      ::_exit(0);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    to_ = toChild[1];
    from_ = fromChild[0];
  }
  ~Child() {
    Kill();
    ::close(to_);
    ::close(from_);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  void Send(char c) { WriteByte(to_, c); }

  // The child's next byte; '\0' when it sent none in good time or has gone.
  char Receive() {
    pollfd ready{from_, POLLIN, 0};
    int polled;
    while ((polled = ::poll(&ready, 1, kReplyTimeoutMs)) < 0 && errno == EINTR) {
    }
    char c = 0;
    if (polled != 1 || !ReadByte(from_, c)) return '\0';
    return c;
  }

  void Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
  }

 private:
  static constexpr int kReplyTimeoutMs = 20000;  // generous for a loaded machine
  pid_t pid_ = -1;
  int to_ = -1;
  int from_ = -1;
};

// The names in the folder that are not the settings file itself.
std::set<std::string> Leftovers(const std::string& folder) {
  auto names = Names(folder);
  names.erase("ZibRemote.ini");
  return names;
}

}  // namespace

TEST_F(PrefsSaveSafety, FailedSaveLeavesTheOldFileByteForByte) {
  PlaceFile(kOldFile);
  Init();
  AddNewEntries();
  const auto entriesBefore = StoreEntries();
  {
    testsupport::ScopedFileSizeLimit limit(16 * 1024);  // the new file needs far more
    try {
      WritePrefsFile();
      FAIL() << "a save past the file size limit succeeded";
    } catch (const platform::IOException& e) {
      EXPECT_EQ(e.Path(), FilePath());
      EXPECT_EQ(e.SystemError(), std::strerror(EFBIG));
    }
  }
  EXPECT_EQ(ReadBytes(FilePath()), kOldFile);
  EXPECT_EQ(Names(ConfigFolder()), kOnlyTheFile);
  EXPECT_EQ(StoreEntries(), entriesBefore);

  WritePrefsFile();  // once writing works again, the next save goes through
  EXPECT_EQ(ReadBytes(FilePath()), NewFile());
}

// A child process saves a large store, pausing in the yield after every pass; the parent kills
// it with SIGKILL at a chosen pass, after the save, or after a free-running delay. With unnamed
// temporaries nothing is left behind; with named ones (file systems without O_TMPFILE) a kill
// may leave the temporary, which no other save touches while its own is still running, and
// which the next save removes.
TEST_F(PrefsSaveSafety, KilledSaveLeavesTheOldOrTheNewFileNeverAPartialOne) {
  const std::string newFile = NewFile();
  constexpr int kPasses = kNewEntries + 3;  // three pairs from the old file
  struct Instant {
    int pass;         // kill while paused in this pass's yield; 0: free-running
    int delayMicros;  // free-running only
    bool afterSave;   // let the save finish, then kill
  } instants[] = {
      {1, 0, false},     {2, 0, false},      {kPasses / 2, 0, false}, {kPasses, 0, false},
      {0, 0, true},      {0, 0, false},      {0, 2000, false},        {0, 20000, false},
      {0, 60000, false}, {0, 150000, false},
  };
  // The child inherits this store: the old file's entries and the new ones.
  PlaceFile(kOldFile);
  Init();
  AddNewEntries();
  for (const bool named : {false, true}) {
    testsupport::ForcedNamedTemporaries forced(named);
    for (const auto& at : instants) {
      const std::string what = std::string(named ? "named" : "unnamed") + " temporary, pass " +
                               std::to_string(at.pass) + " delay " +
                               std::to_string(at.delayMicros) + (at.afterSave ? " after save" : "");
      PlaceFile(kOldFile);
      const bool lockstep = at.pass > 0 || at.afterSave;
      Child child([lockstep](int in, int out) {
        WriteByte(out, 'R');  // ready to save
        char go;
        if (!ReadByte(in, go)) ::_exit(2);
        if (lockstep) {
          platform::SetYieldHook([in, out] {
            WriteByte(out, 'Y');
            char next;
            if (!ReadByte(in, next)) ::_exit(2);
          });
        }
        try {
          WritePrefsFile();
        } catch (...) {
          ::_exit(3);
        }
        WriteByte(out, 'D');
        char end;
        (void)ReadByte(in, end);  // until killed, or the test process is gone
      });
      ASSERT_EQ(child.Receive(), 'R') << what;
      child.Send('G');
      if (at.pass > 0) {
        for (int pass = 1; pass <= at.pass; ++pass) {
          ASSERT_EQ(child.Receive(), 'Y') << what << " at " << pass;
          if (pass < at.pass) child.Send('G');
        }
        // Paused in the middle of its save: another save beginning now leaves its work alone.
        const auto running = Leftovers(ConfigFolder());
        EXPECT_EQ(running.size(), named ? 1u : 0u) << what;
        platform::FolderItem(FilePath()).ReplaceTextFile().reset();
        EXPECT_EQ(Leftovers(ConfigFolder()), running) << what;
      } else if (at.afterSave) {
        char c;
        while ((c = child.Receive()) == 'Y') child.Send('G');
        ASSERT_EQ(c, 'D') << what;
      } else {
        std::this_thread::sleep_for(std::chrono::microseconds(at.delayMicros));
      }
      child.Kill();

      const std::string onDisk = ReadBytes(FilePath());
      EXPECT_TRUE(onDisk == kOldFile || onDisk == newFile)
          << what << ": partial file of " << onDisk.size() << " bytes";
      if (at.pass > 0) {
        EXPECT_EQ(onDisk, kOldFile) << what;
        EXPECT_EQ(Leftovers(ConfigFolder()).size(), named ? 1u : 0u) << what;
      }
      if (at.afterSave) {
        EXPECT_EQ(onDisk, newFile) << what;
      }
      WritePrefsFile();  // the next save: complete, and it clears away what the kill left
      EXPECT_EQ(ReadBytes(FilePath()), newFile) << what;
      EXPECT_EQ(Names(ConfigFolder()), kOnlyTheFile) << what;
    }
  }
}
