#pragma once

#include <functional>

// What code outside the window backend needs of the main event loop; the window backend (the
// one that runs the loop) implements it.
namespace platform {

// Queues `work` to run on the main event loop, after the events already pending. Without a loop
// there is nothing that could ever run it, so the work is dropped.
void PostToMainLoop(std::function<void()> work);

}  // namespace platform
