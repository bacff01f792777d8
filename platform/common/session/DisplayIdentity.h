#pragma once

#include <string>
#include <string_view>
#include <vector>

// Which display server a start of the program shows its windows on, named so that every
// spelling of one server gives one name.
namespace platform::session_guard {

// What a start's environment says about its display.
struct DisplayEnvironment {
  std::string display;         // $DISPLAY
  std::string waylandDisplay;  // $WAYLAND_DISPLAY
  std::string runtimeFolder;   // $XDG_RUNTIME_DIR, where a relative WAYLAND_DISPLAY lives
  std::string platforms;       // $QT_QPA_PLATFORM
  static DisplayEnvironment OfThisProcess();
};

// The X server a DISPLAY value reaches, as "x11 HOST:N". An optional "protocol/" in front and
// the ".screen" behind do not matter, and every way to this machine (no host, "unix",
// "localhost", "127.0.0.1", "::1" or the machine's own name, any case) gives `machine` as HOST:
// ":0", "unix:0.0" and "localhost:0" are one server. A text that is no display name stays as it
// is, so it matches only itself.
std::string CanonicalXDisplay(std::string_view display, std::string_view machine);

// The compositor a WAYLAND_DISPLAY value reaches, as "wayland MACHINE:PATH" with PATH the
// socket's absolute path, links resolved where it exists.
std::string CanonicalWaylandDisplay(std::string_view name, std::string_view runtimeFolder,
                                    std::string_view machine);

// Every display server the start may show its windows on, canonical: its X server and its
// Wayland compositor, as far as $QT_QPA_PLATFORM lets the framework use them. A platform that
// needs neither (offscreen, ...) is named itself, so that two such starts count as one display.
std::vector<std::string> DisplayIdentities(const DisplayEnvironment& environment,
                                           std::string_view machine);

// Two starts are on the same display when they share a display server: an X client of a Wayland
// session (XWayland) shows its windows on the same screen as the session's own clients.
bool ShareADisplay(const std::vector<std::string>& a, const std::vector<std::string>& b);

// The display as the user set it, for a message: "DISPLAY=:0", "WAYLAND_DISPLAY=wayland-0", ...
std::string DisplayAsSet(const DisplayEnvironment& environment);

// This machine's name, or "localhost" where it has none.
std::string MachineName();

}  // namespace platform::session_guard
