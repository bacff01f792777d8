#include "platform/common/session/SessionLock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/common/session/RuntimeFolder.h"
#include "platform/common/session/SessionRecord.h"
#include "tests/support/TempFolder.h"

namespace {

using platform::session_guard::TryLock;

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::string kForeignRecord = platform::session_guard::FormatRecord(
    {"far-away", 4242, "/run/user/1000/x.socket", {"x11 far-away:0"}, "DISPLAY=:0"});

// Whatever a file left behind says, no live process holds it: the lock is taken, the new
// holder's record replaces the old text, and letting go removes the file.
TEST(SessionLock, ALeftOverFileNeverKeepsAStartOut) {
  testsupport::TempFolder folder;
  const std::string path = folder / "app.lock";
  struct Case {
    const char* what;
    const char* text;  // nullptr: no file
  } cases[] = {
      {"no file", nullptr},
      {"empty", ""},
      {"garbled", "\x01\xff garbage\nwithout=an end"},
      {"another machine's record", kForeignRecord.c_str()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.text != nullptr) Write(path, c.text);
    {
      auto attempt = TryLock(path);
      ASSERT_TRUE(attempt.held) << attempt.failure;
      EXPECT_TRUE(attempt.held->Publish("mine\n"));
      EXPECT_EQ(Read(path), "mine\n");
    }
    EXPECT_FALSE(std::filesystem::exists(path));
  }
}

// A holder in another process keeps the lock while it lives, and what it published is read;
// once it is gone, killed without letting go, its file keeps no one out.
TEST(SessionLock, ALiveHolderInAnotherProcessKeepsItAndADeadOneDoesNot) {
  testsupport::TempFolder folder;
  const std::string path = folder / "app.lock";
  int ready[2], release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto attempt = TryLock(path);
    const char held = attempt.held && attempt.held->Publish(kForeignRecord) ? 'y' : 'n';
    (void)!::write(ready[1], &held, 1);
    ::close(release[1]);  // so that the parent's close is the end of the pipe
    char ignored;
    (void)!::read(release[0], &ignored, 1);
    ::_exit(0);  // as a killed copy: the file stays behind
  }
  char held = 0;
  ASSERT_EQ(::read(ready[0], &held, 1), 1);
  ASSERT_EQ(held, 'y');

  auto refused = TryLock(path);
  EXPECT_FALSE(refused.held);
  EXPECT_TRUE(refused.taken);
  EXPECT_EQ(refused.holderRecord, kForeignRecord);

  ::close(release[1]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(std::filesystem::exists(path));
  EXPECT_TRUE(TryLock(path).held);
  for (int fd : {ready[0], ready[1], release[0]}) ::close(fd);
}

TEST(SessionLock, SaysWhyWhereNoLockCanBeMade) {
  testsupport::TempFolder folder;
  std::filesystem::create_directory(folder / "app.lock");
  for (const std::string& path : {folder / "missing/app.lock", folder / "app.lock"}) {
    SCOPED_TRACE(path);
    const auto attempt = TryLock(path);
    EXPECT_FALSE(attempt.held);
    EXPECT_FALSE(attempt.taken);
    EXPECT_NE(attempt.failure.find(path), std::string::npos) << attempt.failure;
  }
}

// A record is read only whole: one being written reads as none yet.
TEST(SessionRecord, OnlyAWholeRecordCounts) {
  using platform::session_guard::ParseRecord;
  const auto whole = ParseRecord(kForeignRecord);
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->machine, "far-away");
  EXPECT_EQ(whole->pid, 4242);
  EXPECT_EQ(whole->socket, "/run/user/1000/x.socket");
  EXPECT_EQ(whole->displays, std::vector<std::string>{"x11 far-away:0"});
  EXPECT_EQ(whole->displayAsSet, "DISPLAY=:0");
  for (std::size_t cut = 0; cut < kForeignRecord.size(); ++cut)
    EXPECT_FALSE(ParseRecord(kForeignRecord.substr(0, cut))) << cut;
}

// The socket's folder: the runtime folder only where it is the user's own and closed to others.
TEST(RuntimeFolder, TheSocketGoesOnlyWhereNoOneElseCanReachIt) {
  using platform::session_guard::SocketPlaceFor;
  const auto socketPath = [](const platform::session_guard::RuntimePlaces& places) {
    return SocketPlaceFor(places, "app", "s.socket", ::getuid()).path;
  };
  testsupport::TempFolder root;
  const std::string runtime = root / "runtime", temporary = root / "tmp",
                    settings = root / "config";
  for (const auto& made : {runtime, temporary, settings}) std::filesystem::create_directory(made);
  ::chmod(settings.c_str(), 0755);
  const std::string ownTemporary = temporary + "/app-" + std::to_string(::getuid());
  struct Case {
    const char* what;
    mode_t runtimeMode;
    std::string runtimeFolder, expected;
  } cases[] = {
      {"the runtime folder", 0700, runtime, runtime + "/s.socket"},
      {"a runtime folder others may enter", 0755, runtime, ownTemporary + "/s.socket"},
      {"no runtime folder", 0700, "", ownTemporary + "/s.socket"},
      {"a relative one", 0700, "runtime", ownTemporary + "/s.socket"},
      {"a missing one", 0700, root / "gone", ownTemporary + "/s.socket"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ::chmod(runtime.c_str(), c.runtimeMode);
    EXPECT_EQ(socketPath({c.runtimeFolder, temporary, settings}), c.expected);
  }
  struct stat made {};
  ASSERT_EQ(::lstat(ownTemporary.c_str(), &made), 0);
  EXPECT_EQ(made.st_mode & 0777, 0700u);

  // Someone else's folder in the shared place (a link stands for one here) is passed over, and
  // so is a runtime folder with no room for the socket's name.
  std::filesystem::remove(ownTemporary);
  std::filesystem::create_directory_symlink(runtime, ownTemporary);
  const std::string deep = runtime + "/" + std::string(100, 'd');
  std::filesystem::create_directory(deep);
  ::chmod(deep.c_str(), 0700);
  EXPECT_EQ(socketPath({deep, temporary, settings}), settings + "/s.socket");
  EXPECT_EQ(socketPath({deep, temporary, root / "none"}), "");
}

}  // namespace
