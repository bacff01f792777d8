// The one place that knows every backend: the program's first call puts them together, before
// anything asks for a main loop, a display, a receiver or key output.
#include "platform/Runtime.h"

#include "platform/DisplayProbe.h"
#include "platform/Plugins.h"
#include "platform/linux/Backends.h"
#include "platform/linux/display/DisplayProbe.h"
#include "platform/linux/display/XlibConnectionLoss.h"
#include "platform/qt/WindowBackend.h"

namespace platform {

void Runtime::Init(int& argc, char** argv) {
  // The main loop is Qt's: platform/MainLoop.h and the rest of the window layer are implemented
  // by the qt backend, which this library links.
  qt::KeepArguments(argc, argv);
  // Qt connects to the display that the X11 and Wayland probe found.
  qt::UseDisplayProbe({linux_display::FindDisplay, linux_display::ReleaseDisplay,
                       linux_display::DisplayGone, linux_display::EndOnXlibConnectionLoss});
  // The receiver through evdev; keys through XTest, a uinput keyboard or none (see Backends.h).
  Plugins::SetSystemBackends(linux_backends::NewEvdevReceiver, linux_backends::NewSystemKeyOutput);
}

}  // namespace platform
