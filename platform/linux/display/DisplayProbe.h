#pragma once

#include <string>

namespace platform::linux_display {

// Whether the framework will find a display to show windows on: each platform it would try, in
// its order (see PlatformOrder.h), is tried for real here first. An X server must accept a
// connection at $DISPLAY; a Wayland compositor must answer one round trip within a bounded time;
// linuxfb needs its framebuffer device; the platforms that draw without a display server are let
// through. The first that works is the one the framework gets: QT_QPA_PLATFORM is set to it for
// this process, so that the framework cannot fall into one that does not answer (or wait on it
// without end). False, with everything that was tried in `whyNot`, when none works.
//
// An X connection that answered is held open until ReleaseDisplay(), to be called once the
// framework has its own connection: an X server with no other client (a bare Xvfb) resets when
// its last client leaves, and during that reset a new connection is refused, so closing the probe
// at once could make the framework find no display after all.
bool FindDisplay(std::string& whyNot);

// Closes the probe's connection and gives QT_QPA_PLATFORM back the value it had.
void ReleaseDisplay();

// Whether the display that FindDisplay chose has gone away since: its X server closed the held
// connection (waiting up to `milliseconds` for that to show), or its compositor no longer
// answers a round trip in that time (not asked with 0). False once released, and for the
// platforms without a display server.
bool DisplayGone(int milliseconds);

}  // namespace platform::linux_display
