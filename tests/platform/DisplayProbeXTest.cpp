// The display probe against a real X server that resets when its last client leaves, as a bare
// Xvfb does: the program is then the server's only client, and a reset between the probe and the
// framework's own connection would leave the framework without a display.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "platform/linux/display/DisplayProbe.h"
#include "tests/keys/xsession/XvfbServer.h"
#include "tests/support/TempFolder.h"

// The X headers come last: they define macros (None, Bool) that clash with names above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

constexpr char kMark[] = "ZIB_PROBE_MARK";

// A reset drops every atom and root window property, so the mark tells whether one happened.
bool HasMark(Display* display) {
  const Atom mark = XInternAtom(display, kMark, True);
  if (mark == None) return false;
  Atom type = None;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  XGetWindowProperty(display, DefaultRootWindow(display), mark, 0, 1, False, XA_STRING, &type,
                     &format, &items, &after, &data);
  if (data != nullptr) XFree(data);
  return type == XA_STRING && items == 1;
}

TEST(DisplayProbeOnX, HoldsTheServerUntilTheFrameworkHasConnected) {
  std::string error;
  auto server =
      zib_testing::XvfbServer::Start(error, zib_testing::XvfbServer::Reset::kWhenLastClientLeaves);
  if (!server) GTEST_SKIP() << error;
  testsupport::ScopedEnv x("DISPLAY", server->Display());
  testsupport::ScopedEnv wayland("WAYLAND_DISPLAY", std::nullopt);
  testsupport::ScopedEnv platform("QT_QPA_PLATFORM", std::nullopt);
  testsupport::ScopedEnv sessionType("XDG_SESSION_TYPE", std::nullopt);

  Display* bystander = XOpenDisplay(server->Display().c_str());
  ASSERT_NE(bystander, nullptr);
  const Atom mark = XInternAtom(bystander, kMark, False);
  const unsigned char value = 'x';
  XChangeProperty(bystander, DefaultRootWindow(bystander), mark, XA_STRING, 8, PropModeReplace,
                  &value, 1);
  XSync(bystander, False);

  std::string whyNot;
  ASSERT_TRUE(platform::linux_display::FindDisplay(whyNot)) << whyNot;
  // Now only the probe's connection can keep the server from resetting. Give a reset time to
  // happen: a slow server only makes this check weaker, never wrong.
  XCloseDisplay(bystander);
  ::usleep(300 * 1000);

  Display* framework = XOpenDisplay(server->Display().c_str());
  ASSERT_NE(framework, nullptr) << "the server refused the framework's connection";
  EXPECT_TRUE(HasMark(framework)) << "the server reset between the probe and the framework";
  platform::linux_display::ReleaseDisplay();
  XCloseDisplay(framework);
}

}  // namespace
