// Holds a key down through XTest, as a person holding it would, for as long as asked.
// Usage: x_hold_key <keysym name>, e.g. Alt_L
// Presses the key, waits until the server has taken the press and prints "down"; then holds the
// key until a line or the end of standard input arrives, releases it, and prints "up". The server
// lets go of an XTest client's keys when it disconnects, hence one process for the whole hold.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <keysym name>\n", argv[0]);
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "cannot open display\n");
    return 1;
  }
  int event = 0, error = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(display, &event, &error, &major, &minor)) {
    std::fprintf(stderr, "the server has no XTest extension\n");
    return 1;
  }
  const KeySym keysym = XStringToKeysym(argv[1]);
  const KeyCode key = keysym == NoSymbol ? 0 : XKeysymToKeycode(display, keysym);
  if (key == 0) {
    std::fprintf(stderr, "no key types %s\n", argv[1]);
    return 1;
  }

  XTestFakeKeyEvent(display, key, True, CurrentTime);
  XSync(display, False);
  std::printf("down\n");
  std::fflush(stdout);

  for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar()) {
  }

  XTestFakeKeyEvent(display, key, False, CurrentTime);
  XSync(display, False);
  std::printf("up\n");
  std::fflush(stdout);
  XCloseDisplay(display);
  return 0;
}
