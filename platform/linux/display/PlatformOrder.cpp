#include "platform/linux/display/PlatformOrder.h"

#include <array>
#include <cstdlib>

namespace platform::linux_display {
namespace {

std::optional<std::string> Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  while (!text.empty()) {
    const auto end = text.find(separator);
    parts.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return parts;
}

}  // namespace

const char* NonEmptyVariable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

PlatformEnvironment CurrentPlatformEnvironment() {
  return {Variable("QT_QPA_PLATFORM"), Variable("WAYLAND_DISPLAY"), Variable("XDG_SESSION_TYPE")};
}

std::vector<std::string> PlatformsToTry(const PlatformEnvironment& environment) {
  std::vector<std::string> entries;
  if (environment.qpaPlatform && !environment.qpaPlatform->empty()) {
    for (const auto part : Split(*environment.qpaPlatform, ';'))
      if (!part.empty()) entries.emplace_back(part);
    return entries;
  }
  if (environment.waylandDisplay || environment.sessionType == "wayland")
    entries.emplace_back("wayland");
  entries.emplace_back("xcb");
  return entries;
}

std::string_view PlatformName(std::string_view entry) { return entry.substr(0, entry.find(':')); }

PlatformKind KindOf(std::string_view entry) {
  const auto name = PlatformName(entry);
  if (name == "xcb") return PlatformKind::kX11;
  if (name.substr(0, 7) == "wayland") return PlatformKind::kWayland;
  if (name == "linuxfb") return PlatformKind::kFramebuffer;
  // The framework's own platforms that draw without a display server; whether one of them can
  // start here is for the framework to find out.
  constexpr std::array<std::string_view, 6> kNoServer = {"offscreen", "minimal", "minimalegl",
                                                         "vnc",       "eglfs",   "vkkhrdisplay"};
  for (const auto other : kNoServer)
    if (name == other) return PlatformKind::kNoServer;
  return PlatformKind::kUnknown;
}

std::optional<std::string> PlatformArgument(std::string_view entry, std::string_view key) {
  const auto arguments = Split(entry, ':');
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const auto argument = arguments[i];
    if (argument.size() > key.size() && argument.substr(0, key.size()) == key &&
        argument[key.size()] == '=')
      return std::string(argument.substr(key.size() + 1));
  }
  return std::nullopt;
}

}  // namespace platform::linux_display
