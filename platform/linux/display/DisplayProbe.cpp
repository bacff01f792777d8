// The X headers come last: they define macros (None, Bool) that would clash with our names.
#include "platform/linux/display/DisplayProbe.h"

#include <sys/stat.h>

#include <cstdlib>

#include <X11/Xlib.h>

namespace platform::linux_display {
namespace {

const char* Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

Display* held = nullptr;  // the probe's connection, until the framework has its own

bool XServerAnswers(const char* name) {
  Display* display = XOpenDisplay(name);
  if (display == nullptr) return false;
  ReleaseDisplay();
  held = display;
  return true;
}

std::string WaylandSocketPath(const std::string& name) {
  if (name.front() == '/') return name;
  const char* runtimeDir = Variable("XDG_RUNTIME_DIR");
  return runtimeDir != nullptr ? std::string(runtimeDir) + "/" + name : std::string();
}

bool IsSocket(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

}  // namespace

void ReleaseDisplay() {
  if (held == nullptr) return;
  XCloseDisplay(held);
  held = nullptr;
}

bool FindDisplay(std::string& whyNot) {
  const char* x = Variable("DISPLAY");
  if (x != nullptr && XServerAnswers(x)) return true;
  const char* wayland = Variable("WAYLAND_DISPLAY");
  if (wayland != nullptr && IsSocket(WaylandSocketPath(wayland))) return true;

  whyNot = x != nullptr ? "no X server answers at DISPLAY=" + std::string(x)
                        : std::string("DISPLAY is not set");
  whyNot += wayland != nullptr
                ? ", and WAYLAND_DISPLAY=" + std::string(wayland) + " names no compositor socket"
                : ", and WAYLAND_DISPLAY is not set";
  return false;
}

}  // namespace platform::linux_display
