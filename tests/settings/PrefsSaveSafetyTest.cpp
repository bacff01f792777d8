// A save must never lose the settings: neither a failing write nor a process killed in the
// middle of a save may leave anything but the old file or the complete new one.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <set>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/Exceptions.h"
#include "platform/Yield.h"
#include "settings/BrioEasyPrefs.h"
#include "tests/settings/PrefsTestSupport.h"

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

bool ReadByte(int fd, char& c) {
  ssize_t got;
  while ((got = ::read(fd, &c, 1)) < 0 && errno == EINTR) {
  }
  return got == 1;
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
// it with SIGKILL at a chosen pass, after the save, or after a free-running delay.
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
  for (const auto& at : instants) {
    const std::string what = "pass " + std::to_string(at.pass) + " delay " +
                             std::to_string(at.delayMicros) + (at.afterSave ? " after save" : "");
    PlaceFile(kOldFile);
    int toChild[2], fromChild[2];
    ASSERT_EQ(::pipe(toChild), 0);
    ASSERT_EQ(::pipe(fromChild), 0);
    const bool lockstep = at.pass > 0 || at.afterSave;
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      WriteByte(fromChild[1], 'R');  // ready to save
      char go;
      if (!ReadByte(toChild[0], go)) ::_exit(2);
      if (lockstep) {
        platform::SetYieldHook([&] {
          WriteByte(fromChild[1], 'Y');
          char next;
          if (!ReadByte(toChild[0], next)) ::_exit(2);
        });
      }
      try {
        WritePrefsFile();
      } catch (...) {
        ::_exit(3);
      }
      WriteByte(fromChild[1], 'D');
      ::pause();
      ::_exit(0);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    char c = 0;
    ASSERT_TRUE(ReadByte(fromChild[0], c) && c == 'R') << what;
    WriteByte(toChild[1], 'G');
    if (at.pass > 0) {
      for (int pass = 1; pass <= at.pass; ++pass) {
        ASSERT_TRUE(ReadByte(fromChild[0], c) && c == 'Y') << what << " at " << pass;
        if (pass < at.pass) WriteByte(toChild[1], 'G');
      }
    } else if (at.afterSave) {
      while (ReadByte(fromChild[0], c) && c == 'Y') WriteByte(toChild[1], 'G');
      ASSERT_EQ(c, 'D') << what;
    } else {
      std::this_thread::sleep_for(std::chrono::microseconds(at.delayMicros));
    }
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(toChild[1]);
    ::close(fromChild[0]);

    const std::string onDisk = ReadBytes(FilePath());
    EXPECT_TRUE(onDisk == kOldFile || onDisk == newFile)
        << what << ": partial file of " << onDisk.size() << " bytes";
    if (at.pass > 0) {
      EXPECT_EQ(onDisk, kOldFile) << what;
      EXPECT_EQ(Names(ConfigFolder()), kOnlyTheFile) << what << ": a temporary file was left";
    }
    if (at.afterSave) {
      EXPECT_EQ(onDisk, newFile) << what;
    }
  }
}
