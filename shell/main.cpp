#include <cstdio>

int main() {
  std::fputs("zibtvremote: the main window is not built yet.\n", stderr);
  return 0;
}
