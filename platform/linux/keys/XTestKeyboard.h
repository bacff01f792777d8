#pragma once

#include <optional>

#include "platform/linux/keys/XcbReplies.h"

#include <xcb/xcb.h>

namespace platform::linux_keys {

// The XInput devices that decide which keymap a key from XTest is read by: the core keyboard
// (a master) reads every key by the keymap of the keyboard under it that sent it, copied onto
// the core one when the key comes from another keyboard than the last.
struct XTestKeyboard {
  int master = -1;      // the core keyboard
  int device = -1;      // the XTest keyboard under it, which XTest's key presses come from
  int lastSource = -1;  // the keyboard whose keymap the core keyboard holds now
};

// Asks the server, waiting until `deadline` at most; nothing when it has no XInput or does not
// say. Needs the XInput extension's data already in the connection.
std::optional<XTestKeyboard> FindXTestKeyboard(xcb_connection_t* connection, Deadline deadline);

}  // namespace platform::linux_keys
