#pragma once

#include <bitset>
#include <cstdint>
#include <map>
#include <vector>

#include "platform/linux/keys/XcbReplies.h"

#include <xcb/xcb.h>

namespace platform::linux_keys {

// The keys held down on each keyboard of the X server: the real keyboards and the XTest device
// that an on-screen keyboard or another tool drives. Asked for at the start and again whenever
// the caller learns that the held modifiers changed; each answer is taken when it has come, and
// until then the last one serves. (Following every key through XInput's raw events instead
// would make the server tell us of each key anyone types, the row's own among them, and slow
// every key down.)
class XHeldKeys {
 public:
  // Needs the XInput extension's data already in the connection (it asks for nothing without
  // it). Waits until `deadline` at most for the first answer.
  XHeldKeys(xcb_connection_t* connection, Deadline deadline);
  XHeldKeys(const XHeldKeys&) = delete;
  XHeldKeys& operator=(const XHeldKeys&) = delete;

  // Asks again (once more after the answer on its way, if one is).
  void Refresh();
  // Takes the answers that have come.
  void Update();
  // Update, waiting until `deadline` at most for the answer on its way.
  void WaitUntil(Deadline deadline);

  // Calls `f(device, keyCode)` for every key held, by the last whole answer.
  template <typename F>
  void ForEach(const F& f) const {
    for (const auto& [device, down] : keyboards_)
      for (int key = 0; key < 256; ++key)
        if (down.test(static_cast<size_t>(key))) f(device, key);
  }

 private:
  void AskForDevices();
  void TakeDevices();

  xcb_connection_t* connection_;
  bool present_ = false;
  bool askAgain_ = false;
  PendingReply devices_;
  std::map<int, PendingReply> states_;  // each keyboard's keys, on their way
  std::map<int, std::bitset<256>> keyboards_;
};

}  // namespace platform::linux_keys
