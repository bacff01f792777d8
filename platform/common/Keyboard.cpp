#include "platform/Keyboard.h"

#include "platform/qt/MainLoop.h"

namespace platform::Keyboard {

namespace {
std::optional<bool>& Override() {
  static std::optional<bool> held;
  return held;
}
}  // namespace

bool AsyncOptionKey() {
  if (const auto& held = Override()) return *held;
  return qt::QueryAltKeyHeld();
}

void SetOptionKeyOverride(std::optional<bool> held) { Override() = held; }

}  // namespace platform::Keyboard
