#pragma once

#include <string>

namespace platform::linux_display {

// How long a compositor may take to answer one round trip before it counts as not answering.
constexpr int kWaylandAnswerMilliseconds = 3000;

// Whether a Wayland compositor answers where the framework would connect: $WAYLAND_SOCKET
// (taken as answering: it is a connection already made, and using it up here would leave none),
// else $WAYLAND_DISPLAY ("wayland-0" when unset), relative to $XDG_RUNTIME_DIR unless absolute.
// It answers when it completes one round trip within `milliseconds`; a socket that accepts and
// stays silent does not. False with why not in `whyNot`.
bool WaylandCompositorAnswers(int milliseconds, std::string& whyNot);

}  // namespace platform::linux_display
