// Lists the keys that the X server holds down. Exit status 0 when none is down, 1 when some are,
// so that a script can tell that every key it pressed was released again. Usage: x_keys_down
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <cstdio>

int main() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "cannot open display\n");
    return 2;
  }
  char keys[32];
  XQueryKeymap(display, keys);
  int down = 0;
  for (int code = 0; code < 256; ++code) {
    if (!(keys[code / 8] & (1 << (code % 8)))) continue;
    const KeySym sym = XkbKeycodeToKeysym(display, static_cast<KeyCode>(code), 0, 0);
    const char* name = sym != NoSymbol ? XKeysymToString(sym) : nullptr;
    std::printf("%s%s", down++ ? " " : "", name ? name : "?");
  }
  if (down) std::printf("\n");
  XCloseDisplay(display);
  return down ? 1 : 0;
}
