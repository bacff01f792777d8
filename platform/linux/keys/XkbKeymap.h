#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/linux/keys/KeyboardConfig.h"
#include "platform/linux/keys/uinput/ModifierKeys.h"

struct xkb_context;
struct xkb_keymap;

namespace platform::linux_keys {

// A keymap compiled by libxkbcommon from a keyboard configuration, for finding the evdev key
// that types a character where no X server tells us (uinput).
class XkbKeymap {
 public:
  // Null, with the reason in `error`, when the configuration does not compile (an unknown
  // layout, no keymap data installed).
  static std::unique_ptr<XkbKeymap> Compile(const KeyboardConfig& config, std::string& error);

  ~XkbKeymap();
  XkbKeymap(const XkbKeymap&) = delete;
  XkbKeymap& operator=(const XkbKeymap&) = delete;

  // The evdev key code (xkb key code - 8) of the key that types the character in the first layout
  // of the configuration, with no modifier or with Shift or Lock alone, or -1. Only codes from 1
  // to `maxCode` count.
  int EvdevCodeFor(int charCode, int maxCode) const;

  // The keysym that the key with that evdev code gives in the first layout while those modifier
  // keys (the left ones) are down; 0 for none.
  std::uint32_t KeysymWith(int evdevCode, const ModifierKeys& modifiers) const;

 private:
  XkbKeymap(xkb_context* context, xkb_keymap* keymap) : context_(context), keymap_(keymap) {}
  xkb_context* context_;
  xkb_keymap* keymap_;
};

}  // namespace platform::linux_keys
