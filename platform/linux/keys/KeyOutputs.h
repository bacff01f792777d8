#pragma once

#include <memory>
#include <string>

#include "platform/KeyPress.h"
#include "platform/linux/keys/EvdevKeymap.h"
#include "platform/linux/keys/uinput/UinputKeyboard.h"

// The key outputs of this platform (and, where neither works, platform::NoKeyOutput). Each
// KeyOutput gives key codes in its own domain (X key codes, evdev codes) and Press takes only codes
// that the same output gave.
//
// The key code is the key that types the character with no modifier or Shift (or Lock) alone; the
// modifiers are only those the stroke asks for. So "P" without Shift presses the P key alone and
// the focused application sees the key's first level, "p"; ":" on a US keyboard presses the ";"
// key. A character that no key of the current layout types that way (one that needs AltGr, say)
// gives kNoKeyCode, and Press with it presses nothing at all. Neither does a Press whose key,
// with the stroke's modifiers, is a dead key: it would change the next key the user types.
namespace platform::linux_keys {

// XTest on the X display `displayName` (null: $DISPLAY). Null when the display cannot be opened
// or has no XTEST extension. Key codes follow the server's current keymap and group, kept from
// the server's change notices, so a layout switch counts from the next press.
std::unique_ptr<KeyOutput> NewXTestKeyOutput(const char* displayName, std::string& error);

// A uinput virtual keyboard, created now and kept for the output's life, with key codes from the
// session's keymap and active layout, found and followed as OpenSessionKeymap says, so a layout
// switch counts from the next press. Null, with the reason, when the keyboard cannot be created
// or no keymap compiled. A press never waits for the new device to settle, nor for the session
// to answer: one that comes before is written from another thread once it has.
std::unique_ptr<KeyOutput> NewUinputKeyOutput(const UinputKeyboard::Options& options,
                                              const KeymapPlaces& keymapPlaces, std::string& error);

}  // namespace platform::linux_keys
