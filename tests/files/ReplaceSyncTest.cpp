// A replacement is renamed over the old file only once its content is on disk: after a crash or
// a power cut the file must come back old or new, never empty. The sync calls are seen through
// a seccomp filter in a child process, which makes them fail or ends the child at them.
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Exceptions.h"
#include "platform/Files.h"
#include "tests/support/ForcedNamedTemporaries.h"
#include "tests/support/TempFolder.h"

using platform::FolderItem;
using testsupport::Names;
using testsupport::ReadBytes;
using testsupport::TempFolder;
using testsupport::WriteBytes;

namespace {

#if defined(__x86_64__)
constexpr std::uint32_t kArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr std::uint32_t kArch = AUDIT_ARCH_AARCH64;
#else
constexpr std::uint32_t kArch = 0;
#endif

// How the child's body ended, as its exit status.
enum Outcome : int { kCommitted = 10, kRefusedWithEIO, kOtherError, kNoFilter };

// Makes fsync and fdatasync end as `action` says, for the descriptor `fd` alone or for any
// (-1). False when the kernel refuses the filter.
bool FilterSyncs(int fd, std::uint32_t action) {
  // The low half of the first argument.
  const std::uint32_t fdArg = offsetof(seccomp_data, args[0]) +
                              (__BYTE_ORDER__ == __ORDER_BIG_ENDIAN__ ? sizeof(std::uint32_t) : 0);
  // Without a descriptor to compare, the two instructions that compare it are left out.
  const auto toAllow = static_cast<std::uint8_t>(fd < 0 ? 1 : 3);
  std::vector<sock_filter> program = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kArch, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_fsync, 1, 0),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_fdatasync, 0, toAllow),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, fdArg),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(fd), 0, 1),
      BPF_STMT(BPF_RET | BPF_K, action),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  if (fd < 0) program.erase(program.begin() + 6, program.begin() + 8);
  const sock_fprog filter{static_cast<unsigned short>(program.size()), program.data()};
  return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
         ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &filter) == 0;
}

// Runs `body` in a child process and gives its wait status.
int InChild(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const rlimit noCore{0, 0};  // a child ended at a sync leaves no core file behind
    ::setrlimit(RLIMIT_CORE, &noCore);
    int outcome = kOtherError;
    try {
      outcome = body();
    } catch (...) {
    }
    ::_exit(outcome);
  }
  int status = -1;
  while (pid > 0 && ::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

int CommitSaying(platform::AtomicTextOutputStream& out) {
  try {
    out.Commit();
  } catch (const platform::IOException& e) {
    return e.SystemError() == std::strerror(EIO) ? kRefusedWithEIO : kOtherError;
  }
  return kCommitted;
}

// The replacement's descriptor of the folder `path`, open in this process.
int FolderDescriptor(const std::string& path) {
  struct stat folder {};
  if (::stat(path.c_str(), &folder) != 0) return -1;
  for (int fd = 0; fd < 1024; ++fd) {
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) && info.st_dev == folder.st_dev &&
        info.st_ino == folder.st_ino)
      return fd;
  }
  return -1;
}

}  // namespace

TEST(ReplaceSync, AFailedSyncOfTheContentMeansNoRenameAndNoTemporary) {
  if (kArch == 0) GTEST_SKIP() << "no seccomp architecture code known for this machine";
  for (const bool named : {false, true}) {
    SCOPED_TRACE(named ? "named temporary" : "unnamed temporary");
    testsupport::ForcedNamedTemporaries forced(named);
    TempFolder dir;
    const std::string old = "old name\nold value\r\nno terminator";
    WriteBytes(dir / "f.ini", old);
    const int status = InChild([&] {
      if (!FilterSyncs(-1, SECCOMP_RET_ERRNO | EIO)) return int{kNoFilter};
      auto out = FolderItem(dir / "f.ini").ReplaceTextFile();
      out->WriteLine("new");
      return CommitSaying(*out);
    });
    ASSERT_TRUE(WIFEXITED(status)) << "child status " << status;
    if (WEXITSTATUS(status) == kNoFilter) GTEST_SKIP() << "the kernel refuses seccomp filters";
    EXPECT_EQ(WEXITSTATUS(status), kRefusedWithEIO);
    EXPECT_EQ(ReadBytes(dir / "f.ini"), old);
    EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"f.ini"});
  }
}

// The folder is synced too, after the rename: that makes the rename itself last. The child is
// ended at that sync, when the new file is in place already.
TEST(ReplaceSync, TheFolderIsSyncedAfterTheRename) {
  if (kArch == 0) GTEST_SKIP() << "no seccomp architecture code known for this machine";
  TempFolder dir;
  WriteBytes(dir / "f.ini", "old\n");
  const int status = InChild([&] {
    auto out = FolderItem(dir / "f.ini").ReplaceTextFile();
    const int folder = FolderDescriptor(dir.Path());
    if (folder < 0) return int{kOtherError};
    if (!FilterSyncs(folder, SECCOMP_RET_KILL_PROCESS)) return int{kNoFilter};
    out->WriteLine("new");
    return CommitSaying(*out);
  });
  if (WIFEXITED(status) && WEXITSTATUS(status) == kNoFilter)
    GTEST_SKIP() << "the kernel refuses seccomp filters";
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSYS)
      << "the folder was never synced; child status " << status;
  EXPECT_EQ(ReadBytes(dir / "f.ini"), "new\n");
  EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"f.ini"});
}
