#pragma once

namespace platform::linux_display {

// From now on, for the whole process, a broken connection of the X library (any Display in it)
// ends the process through `end`, which must not return, in place of the library's own handler:
// that one prints its own text and calls exit(), whose handlers would then close the dead
// connections again. The framework installs a handler of its own when it connects, so this is
// called again after that.
void EndOnXlibConnectionLoss(void (*end)());

}  // namespace platform::linux_display
