#include "platform/linux/remote/device/ReceiverNotices.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

namespace platform::evdev_remote {
namespace {

TEST(ReceiverNotices, NameTheNodeAndWhatToDo) {
  const std::string node = "/dev/input/event7";
  struct Case {
    std::string got, expected;
  };
  const Case cases[] = {
      {UnreadableNodeNotice(node, EACCES),
       "cannot read /dev/input/event7 (permission denied); see the README's udev rule"},
      {UnreadableNodeNotice(node, EPERM),
       "cannot read /dev/input/event7 (permission denied); see the README's udev rule"},
      {UnreadableNodeNotice(node, ENXIO),
       "cannot read /dev/input/event7 (no such device or address)"},
      {GrabRefusedNotice(node, EBUSY),
       "exclusive mode refused: another program holds the receiver at /dev/input/event7; "
       "listening goes on shared"},
      {GrabRefusedNotice(node, ENODEV),
       "exclusive mode refused for /dev/input/event7 (no such device); listening goes on shared"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected);
}

// The notice sends the user to the README; the step must be there.
TEST(ReceiverNotices, TheReadmeHasTheUdevRuleItPointsTo) {
  const char* source = std::getenv("ZIB_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  std::ifstream in(std::string(source) + "/README.md");
  const std::string readme{std::istreambuf_iterator<char>(in), {}};
  EXPECT_NE(readme.find("A udev rule gives"), std::string::npos);
  EXPECT_NE(readme.find("scripts/udev/70-zib-remote.rules"), std::string::npos);
}

}  // namespace
}  // namespace platform::evdev_remote
