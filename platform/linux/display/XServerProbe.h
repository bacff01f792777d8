#pragma once

#include <xcb/xcb.h>

#include <string>

namespace platform::linux_display {

// A connection to the X server named `display`, or nullptr with why not in `whyNot`: absent,
// refusing this user (wrong or missing authorization), or a name that is no display. What the
// X library itself would print about a refusal is kept off standard error.
xcb_connection_t* ConnectToXServer(const std::string& display, std::string& whyNot);

// Whether the server behind a connection made above has gone away (its socket is closed),
// without talking to it; waits up to `milliseconds` for that to show. A server that is killed
// closes its clients' sockets one by one, so another client may see it go a little earlier.
bool XServerGone(xcb_connection_t* connection, int milliseconds);

}  // namespace platform::linux_display
