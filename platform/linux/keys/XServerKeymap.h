#pragma once

#include <array>
#include <cstdint>
#include <unordered_map>

#include "platform/linux/keys/KeyMatcher.h"
#include "platform/linux/keys/uinput/ModifierKeys.h"

struct _XDisplay;
struct _XkbDesc;

namespace platform::linux_keys {

// The X server's keymap and the keyboard's layout group, as one client connection last heard of
// them. They are fetched once and then only when the server's own notices (XKB map, new-keyboard
// and group state events, core MappingNotify) say that they changed, so a key press costs no
// round trip for them. The server sends its notices before it answers the client that made the
// change, so a layout or group switch still counts from the very next press.
class XServerKeymap {
 public:
  // The server copies a keyboard's keymap onto the core keyboard whenever another keyboard sends
  // the next key, and tells it as a new keyboard "by SetMap" with the same key codes. XWayland
  // tells a new keymap from the compositor in just the same way. Whether such a notice counts:
  // for XTest presses it does not (they are read with XTest's own keymap, which the copy does
  // not change); for keys that reach the server through the compositor it must.
  enum class CopiedKeymaps { kIgnore, kFollow };

  // Asks the server for its notices on `display` and fetches the keymap and the group.
  explicit XServerKeymap(_XDisplay* display, CopiedKeymaps copied = CopiedKeymaps::kIgnore);
  // Frees the copy alone: it never talks to the server, whose connection may be closed by then.
  ~XServerKeymap();
  XServerKeymap(const XServerKeymap&) = delete;
  XServerKeymap& operator=(const XServerKeymap&) = delete;

  // Reads every event that has arrived on the connection, without waiting, and fetches again
  // what they say changed. Other events are dropped: nothing else reads this connection, and
  // they would pile up in its queue.
  void Update();

  // The key that types the character or gives the keysym in the current group (see
  // KeyMatcher), kNoKeyCode for none.
  int Find(KeyMatcher matcher) const;

  // Find for a character, remembered until the keymap or the group changes: a row's key is
  // looked up on every press, and the walk over every key of the keymap would cost more than
  // the press itself.
  int FindChar(int charCode);

  // Whether the keymap has this key code; the server ends a client that names any other.
  bool Has(int keyCode) const;

  // The key codes of Super_L, Control_L, Alt_L and Shift_L, in the order of ModifierKeys;
  // kNoKeyCode for one the keymap lacks.
  const std::array<int, 4>& ModifierKeyCodes() const noexcept { return modifierKeys_; }

  // The keysym that the key gives in the current group while the chosen modifier keys are down
  // (and no others), 0 for none.
  std::uint32_t KeysymWith(int keyCode, const ModifierKeys& modifiers) const;

 private:
  void Fetch();
  int GroupOf(int keyCode) const;

  _XDisplay* display_;
  CopiedKeymaps copied_;
  int xkbEventType_ = -1;  // no XKB: no notices of its own, and no keymap to fetch either
  _XkbDesc* xkb_ = nullptr;
  int group_ = 0;
  std::array<int, 4> modifierKeys_{};
  std::unordered_map<int, int> keyOfChar_;
};

}  // namespace platform::linux_keys
