#pragma once

#include <string>

namespace platform {

// What the window backend asks of the machine's display servers around its own connection: is
// there a display before it connects (and which of its platforms answers), has that display gone
// since, and who handles a broken connection of the X library. The program's assembly hands the
// window backend the implementation for this machine; until then nothing is probed (every start
// finds a display, none is ever gone).
struct DisplayProbe {
  // Whether a display answers; on True the probe may hold a connection to it and set the
  // framework's platform for this process. `whyNot` says what was tried when False.
  bool (*find)(std::string& whyNot);
  // Lets go of what `find` held, once the framework has a connection of its own.
  void (*release)();
  // Whether the display that `find` chose has gone away, waiting up to `milliseconds` to tell.
  // Also called from a signal handler.
  bool (*gone)(int milliseconds);
  // From now on a broken X library connection ends the process through `end` (which never
  // returns), in place of the library's own handler.
  void (*endOnXlibConnectionLoss)(void (*end)());
};

}  // namespace platform
