#pragma once

namespace platform::linux_keys {

// The modifier keys that go down around one key, pressed in this order and released in reverse.
struct ModifierKeys {
  bool meta = false;   // Super_L, KEY_LEFTMETA
  bool ctrl = false;   // Control_L, KEY_LEFTCTRL
  bool alt = false;    // Alt_L, KEY_LEFTALT
  bool shift = false;  // Shift_L, KEY_LEFTSHIFT
};

}  // namespace platform::linux_keys
