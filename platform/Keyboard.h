#pragma once

#include <optional>

namespace platform::Keyboard {

// True while the Option key (Alt on Linux keyboards) is held at the moment of the call.
bool AsyncOptionKey();

// Tests set the answer; nullopt reads the real keyboard again.
void SetOptionKeyOverride(std::optional<bool> held);

// The window system's own answer, which AsyncOptionKey gives when no override is set: whether
// Alt is held now (False without a window system). The window backend implements it.
bool WindowSystemAltKeyHeld();

}  // namespace platform::Keyboard
