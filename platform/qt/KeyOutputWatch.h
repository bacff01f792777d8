#pragma once

// The key output's connection to the display server, watched on the main loop.
namespace platform::qt {

// From now on the chosen key output (Plugins::Keys), and every one chosen or set after it, has
// its NoticeDescriptor watched and TakeArrived called, through the dispatch guard, whenever the
// descriptor is readable.
void WatchKeyOutputs();
// Stops watching, before the framework goes.
void StopWatchingKeyOutputs();

}  // namespace platform::qt
