#pragma once

#include <cstdint>
#include <functional>

namespace platform {

// The cooperative yield that long loops call at the end of a pass. It never dispatches user input
// or remote events, so it cannot re-enter a handler: it calls the installed hook (none by
// default) and counts.
void CooperativeYield();

// Installs a hook that every yield calls; an empty function removes it. Returns the previous one.
std::function<void()> SetYieldHook(std::function<void()> hook);

// Number of yields since the start of the run (tests read differences of it).
std::uint64_t YieldCount() noexcept;

}  // namespace platform
