#pragma once

// Framework-internal helpers shared by the Qt side and the Qt-free parts of the platform layer.
// Never included outside platform/.

#include <functional>

namespace platform::qt {

// Queues `work` to run on the main event loop, after the events already pending. Without an
// application object there is no loop to queue on, so the work is dropped: nothing could ever
// run it.
void PostToMainLoop(std::function<void()> work);

// Whether the Alt key is held right now, as the window system reports it; False without one.
bool QueryAltKeyHeld();

// Whether a Qt application object exists.
bool FrameworkRunning() noexcept;

}  // namespace platform::qt
