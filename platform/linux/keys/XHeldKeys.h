#pragma once

#include <bitset>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "platform/linux/keys/XcbReplies.h"

#include <xcb/xcb.h>

namespace platform::linux_keys {

// The keys held down on each keyboard of the X server: the real keyboards and the XTest device
// that an on-screen keyboard or another tool drives. Each keyboard's keys are asked for once and
// then kept from the raw key events of the XInput 2 extension, which the server sends whatever
// window has the focus and whoever grabbed the keyboard.
class XHeldKeys {
 public:
  // Needs the XInput extension's data already in the connection (it asks for nothing without
  // it). Waits until `deadline` at most for the keyboards' keys.
  XHeldKeys(xcb_connection_t* connection, Deadline deadline);
  XHeldKeys(const XHeldKeys&) = delete;
  XHeldKeys& operator=(const XHeldKeys&) = delete;

  // Takes a raw key event: true when the event was one (and so is this object's).
  bool Take(const xcb_generic_event_t& event);
  // Takes the answers that have come.
  void Update();

  // Calls `f(device, keyCode)` for every key held.
  template <typename F>
  void ForEach(const F& f) const {
    for (const auto& [device, keyboard] : keyboards_)
      for (int key = 0; key < 256; ++key)
        if (keyboard.down.test(static_cast<size_t>(key))) f(device, key);
  }

 private:
  struct Keyboard {
    std::bitset<256> down;
    PendingReply state;  // its keys, asked for once
    std::uint32_t askedAt = 0;
    std::vector<std::pair<int, bool>> sinceAsked;  // key events that came before the answer
  };
  void TakeDevices();

  xcb_connection_t* connection_;
  int xiOpcode_ = -1;
  PendingReply devices_;
  std::map<int, Keyboard> keyboards_;
};

}  // namespace platform::linux_keys
