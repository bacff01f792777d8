#pragma once

// Framework-internal helpers shared by the Qt side and the Qt-free parts of the platform layer.
// Never included outside platform/.

#include <functional>

namespace platform::qt {

// Queues `work` to run on the main event loop, after the events already pending. Without an
// application object there is no loop to queue on, so the work is dropped: nothing could ever
// run it.
void PostToMainLoop(std::function<void()> work);

// Runs `work` (through the dispatch guard) between events: at once when the event loop runs and
// no handler is running; otherwise once the running handlers have returned, or when the loop
// starts. Work that closes windows must not run under a handler that is still busy with them (a
// modal box's own loop, a window's Open event before its contents are loaded).
void RunBetweenEvents(std::function<void()> work);

// Whether the Alt key is held right now, as the window system reports it; False without one.
bool QueryAltKeyHeld();

// Whether a Qt application object exists.
bool FrameworkRunning() noexcept;

// Set for good once the connection to the display has broken. From then on the framework's own
// code leaves the window system alone: closing a window neither hides it nor ends its editors.
bool DisplayLost() noexcept;
void SetDisplayLost() noexcept;

}  // namespace platform::qt
