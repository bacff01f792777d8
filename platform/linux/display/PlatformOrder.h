#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Which of the framework's window-system platforms a start would try, and in which order. Kept
// apart from the probing so that the order can be checked on its own.
namespace platform::linux_display {

// The variables the framework reads to choose its platform.
struct PlatformEnvironment {
  std::optional<std::string> qpaPlatform;     // QT_QPA_PLATFORM
  std::optional<std::string> waylandDisplay;  // WAYLAND_DISPLAY
  std::optional<std::string> sessionType;     // XDG_SESSION_TYPE
};

PlatformEnvironment CurrentPlatformEnvironment();

// The variable's value, null where it is unset or empty.
const char* NonEmptyVariable(const char* name);

// The platform entries ("name" or "name:arguments") in the order the framework tries them.
// QT_QPA_PLATFORM, when not empty, is that list (separated by ';'). Otherwise Wayland comes first
// where the session says it is one (WAYLAND_DISPLAY set, even empty, or XDG_SESSION_TYPE=wayland),
// and X11 always follows.
std::vector<std::string> PlatformsToTry(const PlatformEnvironment& environment);

enum class PlatformKind {
  kX11,          // xcb: an X server at $DISPLAY
  kWayland,      // wayland and its variants: a compositor at $WAYLAND_DISPLAY
  kFramebuffer,  // linuxfb: a framebuffer device
  kNoServer,     // drawn without any display server (offscreen, vnc, eglfs, ...)
  kUnknown,      // no platform of that name
};

// The entry's name, without its arguments.
std::string_view PlatformName(std::string_view entry);
PlatformKind KindOf(std::string_view entry);
// The value of `key` among the entry's arguments ("linuxfb:fb=/dev/fb1:size=..."), if given.
std::optional<std::string> PlatformArgument(std::string_view entry, std::string_view key);

}  // namespace platform::linux_display
