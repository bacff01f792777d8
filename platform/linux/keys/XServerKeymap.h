#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>

#include "platform/linux/keys/KeyMatcher.h"
#include "platform/linux/keys/XTestKeyboard.h"
#include "platform/linux/keys/XcbReplies.h"
#include "platform/linux/keys/XkbKeyTable.h"
#include "platform/linux/keys/uinput/ModifierKeys.h"

#include <xcb/xcb.h>

namespace platform::linux_keys {

// The X server's keymap, the keyboard's layout group and its modifier state, as
// one client connection last heard of them. They are fetched once and then kept from the
// server's own notices (XKB map, new-keyboard and state events, core MappingNotify), so a key
// press costs no round trip for them.
//
// Nothing here waits for the server without a bound: a client that grabs the server stops it
// answering anyone else for as long as it likes. A changed keymap is asked for when its notice
// is read and taken once the answer is in; until then the last keymap serves. Where the
// connection's descriptor is watched (TakeArrived), both are read as they come, between presses,
// so a grab that starts after the switch finds the new keymap in hand. Elsewhere the press reads
// them: the server sends its notices before it answers the client that made the change, and its
// answer to us follows within a moment, so the very next press waits a few milliseconds for it
// at most and then follows the switch.
class XServerKeymap {
 public:
  // Which keymap is kept: the core keyboard's, or (given the XTest keyboard) the one that a key
  // from XTest is read by. That is the XTest keyboard's own keymap while another keyboard sent
  // the last key, since the server copies it onto the core keyboard with XTest's next key, and
  // the core keyboard's once XTest sent the last one. The two differ on XWayland, which gives a
  // new keymap from the compositor to its own keyboard and the core one, never to XTest's; a
  // plain server loads a keymap onto every keyboard under the core one.
  //
  // Asks the server for its notices on `connection` and fetches the keymap and the state (the
  // core keyboard's: the group and modifiers of the keys the clients are sent), waiting a second
  // at most for them. The connection's events are this object's from now on: TakeArrived and
  // Update read them.
  explicit XServerKeymap(xcb_connection_t* connection,
                         std::optional<XTestKeyboard> xtest = std::nullopt);
  // Never talks to the server: its connection may be closed by then.
  ~XServerKeymap();
  XServerKeymap(const XServerKeymap&) = delete;
  XServerKeymap& operator=(const XServerKeymap&) = delete;

  // Called with each event before this object looks at it; true: the event is the caller's and
  // goes no further.
  using EventFilter = std::function<bool(const xcb_generic_event_t&)>;

  // Reads every event that has arrived on the connection, without waiting, and asks again for
  // what they say changed; takes the answers that have come. Events that are neither notices
  // nor the filter's are dropped: they would pile up in the connection's queue. Whoever watches
  // the connection's descriptor calls this whenever it is readable: then xcb's own queue is
  // empty afterwards, and whatever comes next shows on the descriptor.
  void TakeArrived(const EventFilter& filter = {});
  // TakeArrived for a press: the first after a change waits a moment for the keymap on its way.
  void Update(const EventFilter& filter = {});
  // Takes the events that xcb has already read from the descriptor (it reads whatever is there
  // while it sends requests), never reading more.
  void TakeQueued(const EventFilter& filter = {});

  xcb_connection_t* Connection() const noexcept { return connection_; }
  // The connection's descriptor for a watcher of it, -1 once the connection has broken.
  int NoticeDescriptor() const;
  // The type of XKB's events on the connection, -1 without XKB.
  int XkbEventType() const noexcept { return xkbEventType_; }

  // The key that types the character or gives the keysym in the current group (see
  // KeyMatcher), kNoKeyCode for none.
  int Find(KeyMatcher matcher) const;

  // Find for a character, remembered until the keymap or the group changes: a row's key is
  // looked up on every press, and the walk over every key of the keymap would cost more than
  // the press itself.
  int FindChar(int charCode);

  // Whether the keymap has this key code; the server refuses any other.
  bool Has(int keyCode) const { return table_.Has(keyCode); }

  // The key codes of Super_L, Control_L, Alt_L and Shift_L, in the order of ModifierKeys;
  // kNoKeyCode for one the keymap lacks.
  const std::array<int, 4>& ModifierKeyCodes() const noexcept { return modifierKeys_; }

  // The keysym that the key gives in the current group while the chosen modifier keys are down
  // (and no others), 0 for none.
  std::uint32_t KeysymWith(int keyCode, const ModifierKeys& modifiers) const;
  // The same for real modifiers (ShiftMask and so on).
  std::uint32_t KeysymWithModifiers(int keyCode, unsigned realModifiers) const;

  // The real modifiers that the modifier map gives the key; those that change its level in the
  // current group.
  unsigned ModifiersOf(int keyCode) const { return table_.ModifiersOf(keyCode); }
  unsigned LevelModifiersOf(int keyCode) const;

  // The keyboard's real modifiers: those of the keys held down, the latched and the locked
  // (Caps Lock among them).
  struct Modifiers {
    unsigned held = 0, latched = 0, locked = 0;
  };
  const Modifiers& State() const noexcept { return modifiers_; }

 private:
  void Start();
  void AskForKeymap();
  // True when a reply was taken.
  bool TakeReplies();
  void TakeEverything(const EventFilter& filter);
  void DrainEvents(const EventFilter& filter);
  void Take(const xcb_generic_event_t& event);
  void SetGroup(int group);

  xcb_connection_t* connection_;
  // The keyboard whose keymap is fetched, and the id its notices carry.
  int KeymapDevice() const noexcept;
  // Whether a key from XTest is read by another keymap since `event`.
  bool SwitchesKeyboard(const xcb_generic_event_t& event);

  std::optional<XTestKeyboard> xtest_;
  bool xtestSentLast_ = false;
  int xiOpcode_ = -1;
  int xkbEventType_ = -1;  // no XKB: no notices of its own, and no keymap to fetch either
  PendingReply extensionAnswered_;
  PendingReply map_, names_, state_;
  bool newerStateNotice_ = false;  // a notice came after the state was asked for
  bool askAgain_ = false;          // a change was told while the keymap was being fetched
  bool waitedForMap_ = true;       // the current fetch had its one short wait
  XkbKeyTable table_;
  int group_ = 0;
  Modifiers modifiers_;
  std::array<int, 4> modifierKeys_{};
  std::unordered_map<int, int> keyOfChar_;
};

}  // namespace platform::linux_keys
