#include "platform/linux/display/DisplayProbe.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <optional>
#include <string>

#include "tests/support/TempFolder.h"

namespace {

// A listening Unix socket at `path`, as a compositor makes one.
class SocketFile {
 public:
  explicit SocketFile(const std::string& path) : fd_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    bound_ = ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  }
  ~SocketFile() { ::close(fd_); }
  SocketFile(const SocketFile&) = delete;
  SocketFile& operator=(const SocketFile&) = delete;
  bool Bound() const noexcept { return bound_; }

 private:
  int fd_;
  bool bound_ = false;
};

// No X server answers at display 65000 (test servers take the lowest free numbers), so these
// cases turn on the Wayland socket; a found X server is what every other X test shows.
TEST(DisplayProbe, FindsAWaylandSocketAndSaysWhatItLookedAtWhenThereIsNone) {
  testsupport::TempFolder runtime;
  SocketFile socket(runtime / "wayland-test");
  ASSERT_TRUE(socket.Bound());
  testsupport::WriteBytes(runtime / "plain-file", "");
  testsupport::ScopedEnv runtimeDir("XDG_RUNTIME_DIR", runtime.Path());

  struct Case {
    std::optional<std::string> x, wayland;
    bool found;
    std::string whyNot;
  } cases[] = {
      {std::nullopt, std::nullopt, false, "DISPLAY is not set, and WAYLAND_DISPLAY is not set"},
      {"", "", false, "DISPLAY is not set, and WAYLAND_DISPLAY is not set"},
      {":65000", std::nullopt, false,
       "no X server answers at DISPLAY=:65000, and WAYLAND_DISPLAY is not set"},
      {std::nullopt, "wayland-test", true, ""},
      {":65000", runtime / "wayland-test", true, ""},  // an absolute name, after X failed
      {std::nullopt, "plain-file", false,
       "DISPLAY is not set, and WAYLAND_DISPLAY=plain-file names no compositor socket"},
      {std::nullopt, "wayland-missing", false,
       "DISPLAY is not set, and WAYLAND_DISPLAY=wayland-missing names no compositor socket"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.x.value_or("(unset)") + " / " + c.wayland.value_or("(unset)"));
    testsupport::ScopedEnv x("DISPLAY", c.x);
    testsupport::ScopedEnv wayland("WAYLAND_DISPLAY", c.wayland);
    std::string whyNot;
    EXPECT_EQ(platform::linux_display::FindDisplay(whyNot), c.found);
    EXPECT_EQ(whyNot, c.whyNot);
  }
}

}  // namespace
