#pragma once

#include <string>

namespace platform::linux_display {

// Whether there is a display that windows can be shown on: an X server that accepts a
// connection at $DISPLAY, or a Wayland compositor's socket named by $WAYLAND_DISPLAY (relative
// to $XDG_RUNTIME_DIR unless absolute). False with what was looked at in `whyNot`.
//
// An X connection that answered is held open until ReleaseDisplay(), to be called once the
// framework has its own connection: an X server with no other client (a bare Xvfb) resets when
// its last client leaves, and during that reset a new connection is refused, so closing the probe
// at once could make the framework find no display after all.
bool FindDisplay(std::string& whyNot);
void ReleaseDisplay();

}  // namespace platform::linux_display
