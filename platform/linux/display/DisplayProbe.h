#pragma once

#include <string>

namespace platform::linux_display {

// Whether there is a display that windows can be shown on: an X server that accepts a
// connection at $DISPLAY, or a Wayland compositor's socket named by $WAYLAND_DISPLAY (relative
// to $XDG_RUNTIME_DIR unless absolute). False with what was looked at in `whyNot`.
bool FindDisplay(std::string& whyNot);

}  // namespace platform::linux_display
