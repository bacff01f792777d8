#include "platform/common/session/DisplayIdentity.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cstdlib>

namespace platform::session_guard {
namespace {

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

std::string Lowercase(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(),
                                      [](unsigned char c) { return std::isdigit(c) != 0; });
}

bool IsThisMachine(std::string_view host, std::string_view machine) {
  static constexpr std::array<std::string_view, 5> kLocal = {"", "unix", "localhost", "127.0.0.1",
                                                             "::1"};
  const std::string lower = Lowercase(host);
  return std::find(kLocal.begin(), kLocal.end(), lower) != kLocal.end() ||
         lower == Lowercase(machine);
}

// Whether the framework may use the platform whose name starts with `prefix`: every platform
// it tries by itself when none is set.
bool PlatformAllowed(std::string_view platforms, std::string_view prefix) {
  if (platforms.empty()) return true;
  for (std::size_t start = 0; start <= platforms.size();) {
    const std::size_t end = std::min(platforms.find(';', start), platforms.size());
    if (platforms.substr(start, end - start).starts_with(prefix)) return true;
    start = end + 1;
  }
  return false;
}

// "/a//b/./c" as "/a/b/c": the same path spelled two ways.
std::string Tidy(std::string_view path) {
  std::string tidy;
  for (std::size_t start = 0; start < path.size();) {
    const std::size_t end = std::min(path.find('/', start), path.size());
    const std::string_view part = path.substr(start, end - start);
    if (!part.empty() && part != ".") tidy.append("/").append(part);
    start = end + 1;
  }
  return tidy.empty() ? "/" : tidy;
}

}  // namespace

DisplayEnvironment DisplayEnvironment::OfThisProcess() {
  return {Variable("DISPLAY"), Variable("WAYLAND_DISPLAY"), Variable("XDG_RUNTIME_DIR"),
          Variable("QT_QPA_PLATFORM")};
}

std::string CanonicalXDisplay(std::string_view display, std::string_view machine) {
  const std::string asIs = "x11 " + std::string(display);
  std::string_view rest = display;
  // "tcp/localhost:0": the protocol picks the way there, not the server.
  if (const auto slash = rest.find('/');
      slash != std::string_view::npos && slash > 0 && slash < rest.rfind(':'))
    rest.remove_prefix(slash + 1);
  const auto colon = rest.rfind(':');
  if (colon == std::string_view::npos) return asIs;
  const std::string_view host = rest.substr(0, colon);
  std::string_view number = rest.substr(colon + 1);
  if (const auto dot = number.find('.'); dot != std::string_view::npos) {
    if (!AllDigits(number.substr(dot + 1))) return asIs;
    number = number.substr(0, dot);
  }
  if (!AllDigits(number)) return asIs;
  // Leading zeros name the same number.
  while (number.size() > 1 && number.front() == '0') number.remove_prefix(1);
  const std::string server = IsThisMachine(host, machine) ? std::string(machine) : Lowercase(host);
  return "x11 " + server + ":" + std::string(number);
}

std::string CanonicalWaylandDisplay(std::string_view name, std::string_view runtimeFolder,
                                    std::string_view machine) {
  std::string path = name.starts_with('/') ? std::string(name)
                                           : std::string(runtimeFolder) + "/" + std::string(name);
  char resolved[PATH_MAX];
  path = ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : Tidy(path);
  return "wayland " + std::string(machine) + ":" + path;
}

std::vector<std::string> DisplayIdentities(const DisplayEnvironment& environment,
                                           std::string_view machine) {
  std::vector<std::string> identities;
  if (!environment.display.empty() && PlatformAllowed(environment.platforms, "xcb"))
    identities.push_back(CanonicalXDisplay(environment.display, machine));
  if (!environment.waylandDisplay.empty() && PlatformAllowed(environment.platforms, "wayland"))
    identities.push_back(
        CanonicalWaylandDisplay(environment.waylandDisplay, environment.runtimeFolder, machine));
  if (identities.empty())
    identities.push_back("platform " + std::string(machine) + ":" + environment.platforms);
  return identities;
}

bool ShareADisplay(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  return std::any_of(a.begin(), a.end(), [&b](const std::string& identity) {
    return std::find(b.begin(), b.end(), identity) != b.end();
  });
}

std::string DisplayAsSet(const DisplayEnvironment& environment) {
  std::string shown;
  const auto add = [&shown](const char* name, const std::string& value) {
    if (value.empty()) return;
    if (!shown.empty()) shown += ", ";
    shown += std::string(name) + "=" + value;
  };
  add("DISPLAY", environment.display);
  add("WAYLAND_DISPLAY", environment.waylandDisplay);
  if (shown.empty()) add("QT_QPA_PLATFORM", environment.platforms);
  return shown.empty() ? std::string("no display") : shown;
}

std::string MachineName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  return Lowercase(name);
}

}  // namespace platform::session_guard
