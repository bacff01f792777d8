#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/linux/keys/uinput/ModifierKeys.h"

namespace platform::linux_keys {

// The keymap through which the session reads the uinput keyboard's evdev codes: the key that
// types a character, and what a key gives with the row's modifier keys. The session applies its
// own keymap and active layout to every keyboard, ours included, so this is the session's
// keymap wherever it can be had.
class EvdevKeymap {
 public:
  virtual ~EvdevKeymap() = default;

  // Takes in what the session has said changed since (a new keymap, another active layout),
  // without waiting for it to say anything.
  virtual void Update() {}

  // The descriptor on which the session's news arrive, or -1 for none or a connection that
  // broke; TakeArrived takes what has arrived on it, never waiting (see KeyOutput).
  virtual int NoticeDescriptor() const { return -1; }
  virtual void TakeArrived() { Update(); }

  // The evdev code of the key that types the character in the active layout, with no modifier
  // or with Shift or Lock alone (see KeyMatcher), or -1. Only codes from 1 to `maxCode` count.
  virtual int EvdevCodeFor(int charCode, int maxCode) = 0;

  // The keysym that the key gives in the active layout while those modifier keys (the left
  // ones) are down and no others; 0 for none.
  virtual std::uint32_t KeysymWith(int evdevCode, const ModifierKeys& modifiers) const = 0;

  // Where the keymap comes from, in words for a message: "the X server on :0".
  virtual const std::string& Source() const = 0;
};

// The X server on `display`: its XKB keymap and active group, followed through its change
// notices on a connection of its own. Null, with the reason, when the display cannot be opened,
// has no XKB, or numbers its keys other than as evdev codes + 8.
std::unique_ptr<EvdevKeymap> NewXServerEvdevKeymap(const std::string& display, std::string& error);

// The Wayland compositor on `display` (a socket name as in WAYLAND_DISPLAY): the keymap it
// sends to its clients' keyboards, and the active layout where it tells us (it tells only the
// client with the keyboard focus, which we never are: then the first layout). Waits at most
// `timeout` for the compositor to answer at the start, never later. Null, with the reason, when
// there is no compositor, seat or keyboard, or no keymap in time.
std::unique_ptr<EvdevKeymap> NewWaylandEvdevKeymap(const std::string& display,
                                                   std::chrono::milliseconds timeout,
                                                   std::string& error);

// Where the session's keymap may be found; an empty name is a place not to look.
struct KeymapPlaces {
  std::string xDisplay;
  std::string waylandDisplay;
  std::string keyboardConfigPath = "/etc/default/keyboard";
  std::chrono::milliseconds waylandTimeout{500};
};

// $DISPLAY, $WAYLAND_DISPLAY and the system's keyboard file.
KeymapPlaces KeymapPlacesOfThisSession();

// The X server when there is one (in a Wayland session it mirrors the compositor's keymap),
// else the compositor, else the layout in the keyboard file (US without one). Null, with the
// reason, only when that last layout does not compile.
std::unique_ptr<EvdevKeymap> OpenSessionKeymap(const KeymapPlaces& places, std::string& error);

}  // namespace platform::linux_keys
