#include "platform/linux/display/DisplayProbe.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/display/PlatformOrder.h"
#include "tests/support/TempFolder.h"

namespace {

using platform::linux_display::PlatformEnvironment;
using platform::linux_display::PlatformsToTry;

TEST(PlatformOrder, FollowsTheFrameworksOwnChoice) {
  const std::optional<std::string> unset;
  struct Case {
    PlatformEnvironment environment;
    std::vector<std::string> tried;
  } cases[] = {
      {{unset, unset, unset}, {"xcb"}},
      {{"", unset, unset}, {"xcb"}},  // empty is unset
      {{unset, "wayland-1", unset}, {"wayland", "xcb"}},
      {{unset, "", unset}, {"wayland", "xcb"}},  // set, even empty
      {{unset, unset, "wayland"}, {"wayland", "xcb"}},
      {{unset, "wayland-1", "x11"}, {"wayland", "xcb"}},  // the socket counts, not the type
      {{unset, unset, "x11"}, {"xcb"}},
      {{"xcb", "wayland-1", "wayland"}, {"xcb"}},  // given, it is the list
      {{"wayland;;xcb:foo=1", unset, unset}, {"wayland", "xcb:foo=1"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.environment.qpaPlatform.value_or("(unset)") + " / " +
                 c.environment.waylandDisplay.value_or("(unset)") + " / " +
                 c.environment.sessionType.value_or("(unset)"));
    EXPECT_EQ(PlatformsToTry(c.environment), c.tried);
  }
}

// A Unix socket at `path` that a compositor would listen on, and how it behaves there: bound but
// not listening (a compositor that is gone), listening and never answering (a hung one), or
// answering the one round trip, with its callback done or with a protocol error.
class FakeCompositor {
 public:
  enum class Mode { kGone, kSilent, kAnswers, kRefuses };

  FakeCompositor(const std::string& path, Mode mode)
      : fd_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ok_ = ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
          (mode == Mode::kGone || ::listen(fd_, 4) == 0);
    if (ok_ && (mode == Mode::kAnswers || mode == Mode::kRefuses))
      answering_ = std::thread([this, mode] { Answer(mode); });
  }
  ~FakeCompositor() {
    ::shutdown(fd_, SHUT_RDWR);  // ends a waiting accept
    if (answering_.joinable()) answering_.join();
    ::close(fd_);
  }
  FakeCompositor(const FakeCompositor&) = delete;
  FakeCompositor& operator=(const FakeCompositor&) = delete;
  bool Ok() const noexcept { return ok_; }

 private:
  void Answer(Mode mode) const {
    for (;;) {
      const int client = ::accept(fd_, nullptr, nullptr);
      if (client < 0) return;
      std::uint32_t sync[3] = {};
      if (::recv(client, sync, sizeof sync, MSG_WAITALL) == sizeof sync) {
        // The callback's done (object 2, event 0), or the display's error (object 1, event 0).
        const std::uint32_t done[3] = {sync[2], 12u << 16, 7};
        const std::uint32_t error[5] = {1, 20u << 16, 1, 0, 0};
        if (mode == Mode::kAnswers) (void)!::send(client, done, sizeof done, MSG_NOSIGNAL);
        if (mode == Mode::kRefuses) (void)!::send(client, error, sizeof error, MSG_NOSIGNAL);
      }
      ::close(client);
    }
  }

  int fd_;
  bool ok_ = false;
  std::thread answering_;
};

// No X server answers at display 65000 (test servers take the lowest free numbers), so these
// cases turn on Wayland and the other platforms; a found X server is what every other X test
// shows.
TEST(DisplayProbe, TriesEachPlatformForRealAndPinsTheOneThatAnswered) {
  using Mode = FakeCompositor::Mode;
  testsupport::TempFolder runtime;
  FakeCompositor answers(runtime / "wl-answers", Mode::kAnswers);
  FakeCompositor refuses(runtime / "wl-refuses", Mode::kRefuses);
  FakeCompositor gone(runtime / "wl-gone", Mode::kGone);
  FakeCompositor silent(runtime / "wl-silent", Mode::kSilent);
  ASSERT_TRUE(answers.Ok() && refuses.Ok() && gone.Ok() && silent.Ok());
  testsupport::WriteBytes(runtime / "plain-file", "");
  testsupport::ScopedEnv runtimeDir("XDG_RUNTIME_DIR", runtime.Path());
  testsupport::ScopedEnv sessionType("XDG_SESSION_TYPE", std::nullopt);
  testsupport::ScopedEnv waylandSocket("WAYLAND_SOCKET", std::nullopt);

  const std::optional<std::string> unset;
  struct Case {
    std::optional<std::string> platform, x, wayland;
    std::optional<std::string> pinned;  // QT_QPA_PLATFORM for the framework; unset: none found
    std::string whyNot;
  } cases[] = {
      {unset, unset, unset, unset, "DISPLAY is not set, and WAYLAND_DISPLAY is not set"},
      {unset, ":65000", unset, unset,
       "no X server answers at DISPLAY=:65000, and WAYLAND_DISPLAY is not set"},
      {unset, unset, "wl-answers", "wayland", ""},
      {unset, ":65000", runtime / "wl-answers", "wayland", ""},  // an absolute name
      {"xcb", unset, "wl-answers", unset, "QT_QPA_PLATFORM=xcb: DISPLAY is not set"},
      {"foo;wayland-egl", unset, "wl-answers", "wayland-egl", ""},
      {unset, unset, "wl-refuses", unset,
       "the Wayland compositor at WAYLAND_DISPLAY=wl-refuses refused the connection, and "
       "DISPLAY is not set"},
      {unset, unset, "wl-gone", unset,
       "no Wayland compositor answers at WAYLAND_DISPLAY=wl-gone, and DISPLAY is not set"},
      {"wayland", unset, "plain-file", unset,
       "QT_QPA_PLATFORM=wayland: WAYLAND_DISPLAY=plain-file names no compositor socket"},
      {"wayland", unset, unset, unset,
       "QT_QPA_PLATFORM=wayland: wayland-0 (WAYLAND_DISPLAY is not set) names no compositor "
       "socket"},
      {unset, unset, "", unset, "WAYLAND_DISPLAY is empty, and DISPLAY is not set"},
      {"offscreen", unset, unset, "offscreen", ""},
      {"foo", unset, "wl-answers", unset,
       "QT_QPA_PLATFORM=foo: there is no platform named \"foo\""},
      {"linuxfb:fb=" + runtime / "fb9", unset, unset, unset,
       "QT_QPA_PLATFORM=linuxfb:fb=" + runtime / "fb9" + ": linuxfb has no framebuffer device at " +
           runtime / "fb9"},
      // Last: it takes the whole time a compositor is given to answer.
      {unset, unset, "wl-silent", unset,
       "the Wayland compositor at WAYLAND_DISPLAY=wl-silent did not answer within 3 s, and "
       "DISPLAY is not set"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.platform.value_or("(unset)") + " / " + c.x.value_or("(unset)") + " / " +
                 c.wayland.value_or("(unset)"));
    testsupport::ScopedEnv platform("QT_QPA_PLATFORM", c.platform);
    testsupport::ScopedEnv x("DISPLAY", c.x);
    testsupport::ScopedEnv wayland("WAYLAND_DISPLAY", c.wayland);
    std::string whyNot;
    EXPECT_EQ(platform::linux_display::FindDisplay(whyNot), c.pinned.has_value());
    EXPECT_EQ(whyNot, c.whyNot);
    if (c.pinned) {
      const char* pinned = std::getenv("QT_QPA_PLATFORM");
      EXPECT_EQ(pinned != nullptr ? pinned : "(unset)", *c.pinned);
    }
    // Once the framework is up, the user's own choice is back, for whatever it starts.
    platform::linux_display::ReleaseDisplay();
    const char* after = std::getenv("QT_QPA_PLATFORM");
    EXPECT_EQ(after != nullptr ? std::optional<std::string>(after) : std::nullopt, c.platform);
  }
}

}  // namespace
