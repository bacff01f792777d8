#include "platform/Keyboard.h"

namespace platform::Keyboard {

namespace {
std::optional<bool>& Override() {
  static std::optional<bool> held;
  return held;
}
}  // namespace

bool AsyncOptionKey() {
  if (const auto& held = Override()) return *held;
  return WindowSystemAltKeyHeld();
}

void SetOptionKeyOverride(std::optional<bool> held) { Override() = held; }

}  // namespace platform::Keyboard
