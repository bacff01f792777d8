#pragma once

#include <linux/input-event-codes.h>

#include <array>

namespace platform::linux_keys {

// The modifier keys that go down around one key, pressed in this order and released in reverse.
struct ModifierKeys {
  bool meta = false;   // Super_L
  bool ctrl = false;   // Control_L
  bool alt = false;    // Alt_L
  bool shift = false;  // Shift_L
};

// The evdev codes of those keys, in that order. The left ones: on many layouts the right Alt is
// AltGr, which would turn an Option row into another character or a dead key. The uinput
// keyboard presses these, and the keymap works out from these same keys what a press gives.
inline constexpr std::array<int, 4> kModifierEvdevCodes = {KEY_LEFTMETA, KEY_LEFTCTRL, KEY_LEFTALT,
                                                           KEY_LEFTSHIFT};

// Which of kModifierEvdevCodes go down.
constexpr std::array<bool, 4> WhichDown(const ModifierKeys& modifiers) {
  return {modifiers.meta, modifiers.ctrl, modifiers.alt, modifiers.shift};
}

}  // namespace platform::linux_keys
