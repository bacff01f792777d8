#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/linux/remote/device/InputDirWatch.h"
#include "platform/linux/remote/device/RemoteSession.h"

namespace platform::evdev_remote {
namespace {

namespace fs = std::filesystem;

// A scratch folder standing in for /dev; the input folder inside it may or may not exist.
class InputDirTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "zib-input-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    input_ = root_ / "input";
  }
  void TearDown() override { fs::remove_all(root_); }

  static bool Readable(int fd, int waitMs = 1000) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, waitMs) == 1;
  }
  void Touch(const std::string& name) { std::ofstream(input_ / name).put('x'); }

  fs::path root_, input_;
};

TEST_F(InputDirTest, ReportsNewEventNodesOnly) {
  fs::create_directory(input_);
  InputDirWatch watch(input_.string());
  ASSERT_GE(watch.fd(), 0);
  EXPECT_FALSE(watch.ReadChanges()) << "nothing happened yet";

  Touch("mouse0");
  fs::create_directory(input_ / "by-id");
  ASSERT_TRUE(Readable(watch.fd()));
  EXPECT_FALSE(watch.ReadChanges()) << "not event nodes";

  Touch("event7");
  ASSERT_TRUE(Readable(watch.fd()));
  EXPECT_TRUE(watch.ReadChanges());

  // udev changing the node's permissions after the kernel made it
  ASSERT_EQ(chmod((input_ / "event7").c_str(), 0600), 0);
  ASSERT_TRUE(Readable(watch.fd()));
  EXPECT_TRUE(watch.ReadChanges());
}

// A machine with no input device at all has no input folder until the first one comes.
TEST_F(InputDirTest, FollowsTheFolderAppearingAndGoingAway) {
  InputDirWatch watch(input_.string());
  ASSERT_GE(watch.fd(), 0);

  fs::create_directory(input_);
  ASSERT_TRUE(Readable(watch.fd()));
  EXPECT_TRUE(watch.ReadChanges()) << "nodes may be in it already";

  Touch("event0");
  ASSERT_TRUE(Readable(watch.fd()));
  EXPECT_TRUE(watch.ReadChanges()) << "now watching the folder itself";

  fs::remove_all(input_);
  ASSERT_TRUE(Readable(watch.fd()));
  watch.ReadChanges();
  fs::create_directory(input_);
  Touch("event1");
  ASSERT_TRUE(Readable(watch.fd()));
  EXPECT_TRUE(watch.ReadChanges()) << "watching again after it came back";
}

// Records what a session asks of its event loop.
class FakeLoop : public SessionLoop {
 public:
  void WatchDevice(int fd) override { deviceFd = fd; }
  void WatchInputDir(int fd) override { dirFd = fd; }
  void SetTimer(std::optional<TimePoint> due) override { timer = due; }
  TimePoint Now() override { return Clock::now(); }
  int deviceFd = -1, dirFd = -1;
  std::optional<TimePoint> timer;
};

// Without a receiver a listening session waits on the folder alone: no timer, no polling; and
// nodes that are not receivers change nothing.
TEST_F(InputDirTest, SessionWithoutReceiverWaitsOnTheFolderOnly) {
  FakeLoop loop;
  RemoteSession session(loop, input_.string());
  EXPECT_FALSE(session.Available());
  session.SetExclusive(true);
  bool called = false;
  session.Start([&](int, bool) { called = true; });
  EXPECT_GE(loop.dirFd, 0);
  EXPECT_EQ(loop.deviceFd, -1);
  EXPECT_FALSE(loop.timer);

  fs::create_directory(input_);
  Touch("event0");  // opens, but answers no ids
  ASSERT_TRUE(Readable(loop.dirFd));
  do {
    session.InputDirChanged();
  } while (Readable(loop.dirFd, 50));
  EXPECT_FALSE(session.hasDevice());
  EXPECT_FALSE(loop.timer) << "a node that opened is not retried";
  EXPECT_FALSE(session.Available());

  session.Stop();
  EXPECT_EQ(loop.dirFd, -1);
  EXPECT_FALSE(called);
}

}  // namespace
}  // namespace platform::evdev_remote
