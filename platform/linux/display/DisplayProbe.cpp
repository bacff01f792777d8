#include "platform/linux/display/DisplayProbe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <vector>

#include "platform/linux/display/PlatformOrder.h"
#include "platform/linux/display/WaylandProbe.h"
#include "platform/linux/display/XServerProbe.h"

namespace platform::linux_display {
namespace {

struct ProbeState {
  xcb_connection_t* held = nullptr;  // the probe's X connection, until the framework has its own
  PlatformKind chosen = PlatformKind::kUnknown;
  bool pinned = false;
  std::optional<std::string> userPlatform;  // QT_QPA_PLATFORM as it was before it was pinned
};

ProbeState& State() {
  static ProbeState state;
  return state;
}

bool TryXServer(std::string& whyNot) {
  const char* display = NonEmptyVariable("DISPLAY");
  if (display == nullptr) {
    whyNot = "DISPLAY is not set";
    return false;
  }
  xcb_connection_t* connection = ConnectToXServer(display, whyNot);
  if (connection == nullptr) return false;
  State().held = connection;
  return true;
}

bool TryFramebuffer(const std::string& entry, std::string& whyNot) {
  const std::string device = PlatformArgument(entry, "fb").value_or("/dev/fb0");
  struct stat info {};
  const int fd = ::stat(device.c_str(), &info) == 0 && S_ISCHR(info.st_mode)
                     ? ::open(device.c_str(), O_RDWR | O_CLOEXEC)
                     : -1;
  if (fd >= 0) {
    ::close(fd);
    return true;
  }
  whyNot = "linuxfb has no framebuffer device at " + device;
  return false;
}

bool TryPlatform(const std::string& entry, std::string& whyNot) {
  switch (KindOf(entry)) {
    case PlatformKind::kX11:
      return TryXServer(whyNot);
    case PlatformKind::kWayland:
      return WaylandCompositorAnswers(kWaylandAnswerMilliseconds, whyNot);
    case PlatformKind::kFramebuffer:
      return TryFramebuffer(entry, whyNot);
    case PlatformKind::kNoServer:
      return true;
    case PlatformKind::kUnknown:
      break;
  }
  whyNot = "there is no platform named \"" + std::string(PlatformName(entry)) + "\"";
  return false;
}

void Pin(const std::string& entry, PlatformKind kind) {
  auto& state = State();
  if (!state.pinned) {
    const char* user = std::getenv("QT_QPA_PLATFORM");
    state.userPlatform = user != nullptr ? std::optional<std::string>(user) : std::nullopt;
    state.pinned = true;
  }
  ::setenv("QT_QPA_PLATFORM", entry.c_str(), 1);
  state.chosen = kind;
}

}  // namespace

bool FindDisplay(std::string& whyNot) {
  ReleaseDisplay();  // what an earlier call held and pinned
  const auto environment = CurrentPlatformEnvironment();
  const auto entries = PlatformsToTry(environment);
  std::vector<std::string> reasons;
  for (const auto& entry : entries) {
    std::string reason;
    if (TryPlatform(entry, reason)) {
      Pin(entry, KindOf(entry));
      return true;
    }
    if (std::find(reasons.begin(), reasons.end(), reason) == reasons.end())
      reasons.push_back(reason);
  }

  const bool given = environment.qpaPlatform && !environment.qpaPlatform->empty();
  const bool triedWayland = std::any_of(entries.begin(), entries.end(), [](const auto& entry) {
    return KindOf(entry) == PlatformKind::kWayland;
  });
  if (!given && !triedWayland) reasons.emplace_back("WAYLAND_DISPLAY is not set");
  whyNot = given ? "QT_QPA_PLATFORM=" + *environment.qpaPlatform + ": " : std::string();
  for (std::size_t i = 0; i < reasons.size(); ++i) whyNot += (i == 0 ? "" : ", and ") + reasons[i];
  return false;
}

void ReleaseDisplay() {
  auto& state = State();
  if (state.held != nullptr) {
    // Safe on a connection whose server has gone: it only closes the socket.
    xcb_disconnect(state.held);
    state.held = nullptr;
  }
  if (state.pinned) {
    if (state.userPlatform) {
      ::setenv("QT_QPA_PLATFORM", state.userPlatform->c_str(), 1);
    } else {
      ::unsetenv("QT_QPA_PLATFORM");
    }
    state.pinned = false;
  }
  state.chosen = PlatformKind::kUnknown;
}

bool DisplayGone(int milliseconds) {
  const auto& state = State();
  std::string ignored;
  switch (state.chosen) {
    case PlatformKind::kX11:
      return XServerGone(state.held, milliseconds);
    case PlatformKind::kWayland:
      return milliseconds > 0 && !WaylandCompositorAnswers(milliseconds, ignored);
    default:
      return false;
  }
}

}  // namespace platform::linux_display
