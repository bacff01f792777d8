// Holds the X server for itself (XGrabServer), as a client that grabs it for a while would: no
// other client's request is carried out meanwhile.
// Usage: x_grab_server. Grabs, waits until the server has taken the grab and prints "grabbed";
// then holds it until a line or the end of standard input arrives, lets go and prints
// "released".
#include <X11/Xlib.h>

#include <cstdio>

int main() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "cannot open display\n");
    return 1;
  }
  XGrabServer(display);
  XSync(display, False);
  std::printf("grabbed\n");
  std::fflush(stdout);

  for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar()) {
  }

  XUngrabServer(display);
  XSync(display, False);
  std::printf("released\n");
  std::fflush(stdout);
  XCloseDisplay(display);
  return 0;
}
