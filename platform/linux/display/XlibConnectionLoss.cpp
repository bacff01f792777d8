#include "platform/linux/display/XlibConnectionLoss.h"

#include <cstdlib>

// Last: the X headers define macros (None, Bool) that would clash with names above.
#include <X11/Xlib.h>

namespace platform::linux_display {
namespace {

void (*endProcess)() = nullptr;

// The library ends the process itself should this return, so it never does.
int OnConnectionLoss(Display*) {
  if (endProcess != nullptr) endProcess();
  std::_Exit(1);
}

}  // namespace

void EndOnXlibConnectionLoss(void (*end)()) {
  endProcess = end;
  XSetIOErrorHandler(OnConnectionLoss);
}

}  // namespace platform::linux_display
