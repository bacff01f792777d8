#include "tests/keys/xsession/FocusedWindow.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

namespace zib_testing {
namespace {

bool WaitForEvent(Display* display, std::chrono::steady_clock::time_point deadline) {
  while (XPending(display) == 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{ConnectionNumber(display), POLLIN, 0};
    ::poll(&p, 1, static_cast<int>(left.count()) + 1);
  }
  return true;
}

}  // namespace

std::unique_ptr<FocusedWindow> FocusedWindow::Open(const std::string& displayName,
                                                   std::string& error) {
  Display* display = XOpenDisplay(displayName.c_str());
  if (display == nullptr) {
    error = "cannot open X display " + displayName;
    return nullptr;
  }
  const int screen = DefaultScreen(display);
  const Window window =
      XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 200, 100, 0,
                          BlackPixel(display, screen), WhitePixel(display, screen));
  XSelectInput(display, window,
               KeyPressMask | KeyReleaseMask | StructureNotifyMask | FocusChangeMask);
  XMapRaised(display, window);

  auto fail = [&](const char* what) {
    error = what;
    XCloseDisplay(display);
    return nullptr;
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  XEvent event;
  do {
    if (!WaitForEvent(display, deadline)) return fail("the test window was never mapped");
    XNextEvent(display, &event);
  } while (event.type != MapNotify);
  XSetInputFocus(display, window, RevertToParent, CurrentTime);
  do {
    if (!WaitForEvent(display, deadline)) return fail("the test window never got the focus");
    XNextEvent(display, &event);
  } while (event.type != FocusIn);
  // Xlib keeps a copy of the keymap and, left to itself, may miss a layout switch: the client
  // would name the keys by the layout from before it.
  int opcode = 0, xkbEvent = -1, xkbError = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
  constexpr unsigned kKeymapNotices = XkbNewKeyboardNotifyMask | XkbMapNotifyMask;
  if (!XkbQueryExtension(display, &opcode, &xkbEvent, &xkbError, &major, &minor))
    xkbEvent = -1;
  else
    XkbSelectEvents(display, XkbUseCoreKbd, kKeymapNotices, kKeymapNotices);
  return std::unique_ptr<FocusedWindow>(new FocusedWindow(display, window, xkbEvent));
}

FocusedWindow::~FocusedWindow() {
  XDestroyWindow(display_, window_);
  XCloseDisplay(display_);
}

std::optional<SeenKey> FocusedWindow::NextKey(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  XEvent event;
  while (WaitForEvent(display_, deadline)) {
    XNextEvent(display_, &event);
    if (event.type == MappingNotify) XRefreshKeyboardMapping(&event.xmapping);
    if (event.type == xkbEvent_) {
      auto& notice = reinterpret_cast<XkbEvent&>(event);
      if (notice.any.xkb_type == XkbNewKeyboardNotify || notice.any.xkb_type == XkbMapNotify)
        XkbRefreshKeyboardMapping(&notice.map);
    }
    if (event.type != KeyPress && event.type != KeyRelease) continue;
    SeenKey key;
    key.when = std::chrono::steady_clock::now();
    key.press = event.type == KeyPress;
    key.keyCode = event.xkey.keycode;
    key.state = event.xkey.state;
    char text[16];
    KeySym keysym = NoSymbol;
    XLookupString(&event.xkey, text, sizeof text, &keysym, nullptr);
    key.keysym = static_cast<std::uint32_t>(keysym);
    key.baseKeysym = static_cast<std::uint32_t>(
        XkbKeycodeToKeysym(display_, static_cast<KeyCode>(event.xkey.keycode), 0, 0));
    return key;
  }
  return std::nullopt;
}

bool FocusedWindow::AnyKeyDown() {
  char keys[32] = {};
  XQueryKeymap(display_, keys);
  for (char k : keys)
    if (k != 0) return true;
  return false;
}

unsigned FocusedWindow::KeyCodeOf(std::uint32_t keysym) {
  return XKeysymToKeycode(display_, keysym);
}

unsigned FocusedWindow::MaskOf(std::uint32_t modifierKeysym) {
  const KeyCode code = XKeysymToKeycode(display_, modifierKeysym);
  XModifierKeymap* map = XGetModifierMapping(display_);
  unsigned mask = 0;
  for (int mod = 0; mod < 8; ++mod)
    for (int i = 0; i < map->max_keypermod; ++i)
      if (code != 0 && map->modifiermap[mod * map->max_keypermod + i] == code) mask |= 1u << mod;
  XFreeModifiermap(map);
  return mask;
}

}  // namespace zib_testing
