#pragma once

#include <optional>

namespace core {

// The event ID of one remote event (button code, down flag): 1 to 14 name a table row, 0 names
// none. Button code 10 gives no event at all (nullopt): it is dropped.
std::optional<int> MapRemoteEvent(int button, bool down) noexcept;

}  // namespace core
