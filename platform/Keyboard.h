#pragma once

#include <optional>

namespace platform::Keyboard {

// True while the Option key (Alt on Linux keyboards) is held at the moment of the call.
bool AsyncOptionKey();

// Tests set the answer; nullopt reads the real keyboard again.
void SetOptionKeyOverride(std::optional<bool> held);

}  // namespace platform::Keyboard
