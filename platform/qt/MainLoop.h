#pragma once

// The window backend's own helpers around the event loop. What the other layers need of the
// loop is in platform/MainLoop.h.

#include <functional>

namespace platform::qt {

// Runs `work` (through the dispatch guard) between events: at once when the event loop runs and
// no handler is running; otherwise once the running handlers have returned, or when the loop
// starts. Work that closes windows must not run under a handler that is still busy with them (a
// modal box's own loop, a window's Open event before its contents are loaded).
void RunBetweenEvents(std::function<void()> work);

// Whether a Qt application object exists.
bool FrameworkRunning() noexcept;

// Set for good once the connection to the display has broken. From then on the framework's own
// code leaves the window system alone: closing a window neither hides it nor ends its editors.
bool DisplayLost() noexcept;
void SetDisplayLost() noexcept;

}  // namespace platform::qt
