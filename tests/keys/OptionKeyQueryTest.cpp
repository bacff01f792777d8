// The Option key as the program reads it for real: the framework runs on a virtual X server of
// the test's own, another client holds and releases Alt through XTest, and the query (with no
// test override) must follow.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <memory>
#include <optional>
#include <string>

#include "platform/Keyboard.h"
#include "platform/testing/TestFramework.h"
#include "tests/keys/xsession/XvfbServer.h"
#include "tests/support/TempFolder.h"

namespace {

using testsupport::ScopedEnv;

struct CloseDisplay {
  void operator()(Display* display) const { XCloseDisplay(display); }
};

TEST(OptionKeyQuery, FollowsAltHeldAndReleasedThroughXTest) {
  std::string error;
  const auto server = zib_testing::XvfbServer::Start(error);
  if (!server) GTEST_SKIP() << error;
  const ScopedEnv display("DISPLAY", server->Display());
  const ScopedEnv qpa("QT_QPA_PLATFORM", "xcb");
  platform::testing::TestFramework framework;
  platform::Keyboard::SetOptionKeyOverride(std::nullopt);

  const std::unique_ptr<Display, CloseDisplay> keyboard(XOpenDisplay(server->Display().c_str()));
  ASSERT_TRUE(keyboard) << "cannot open " << server->Display();
  int event = 0, error_base = 0, major = 0, minor = 0;
  ASSERT_TRUE(XTestQueryExtension(keyboard.get(), &event, &error_base, &major, &minor));
  const KeyCode alt = XKeysymToKeycode(keyboard.get(), XK_Alt_L);
  ASSERT_NE(alt, 0) << "the server's keymap has no Alt key";

  EXPECT_FALSE(platform::Keyboard::AsyncOptionKey()) << "before Alt is pressed";
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    XTestFakeKeyEvent(keyboard.get(), alt, True, CurrentTime);
    XSync(keyboard.get(), False);
    EXPECT_TRUE(platform::Keyboard::AsyncOptionKey()) << "while Alt is held";
    XTestFakeKeyEvent(keyboard.get(), alt, False, CurrentTime);
    XSync(keyboard.get(), False);
    EXPECT_FALSE(platform::Keyboard::AsyncOptionKey()) << "after Alt is released";
  }
}

}  // namespace
