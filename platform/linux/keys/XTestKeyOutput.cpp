// XTest key output, on an xcb connection of its own: every request of a press is one-way, and
// every answer is taken when it has come, so a server that another client has grabbed delays
// the key but never the caller.
#include <sys/uio.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>
#include <xcb/xinput.h>
#include <xcb/xtest.h>
#include "platform/linux/keys/XcbXkb.h"

#include <array>
#include <cstdlib>
#include <deque>
#include <utility>

#include "platform/linux/keys/KeyMatcher.h"
#include "platform/linux/keys/KeyOutputs.h"
#include "platform/linux/keys/XHeldKeys.h"
#include "platform/linux/keys/XServerKeymap.h"
#include "platform/linux/keys/XTestKeyboard.h"
#include "platform/linux/keys/XcbConnect.h"
#include "platform/linux/keys/XcbReplies.h"

namespace platform::linux_keys {
namespace {

// The keysyms of the keys that only shift while held. Lock keys are not among them: pressing one
// again would toggle its lock.
bool ShiftsWhileHeld(std::uint32_t keysym) {
  switch (keysym) {
    case 0xffe1:  // Shift_L
    case 0xffe2:  // Shift_R
    case 0xffe3:  // Control_L
    case 0xffe4:  // Control_R
    case 0xffe7:  // Meta_L
    case 0xffe8:  // Meta_R
    case 0xffe9:  // Alt_L
    case 0xffea:  // Alt_R
    case 0xffeb:  // Super_L
    case 0xffec:  // Super_R
    case 0xffed:  // Hyper_L
    case 0xffee:  // Hyper_R
    case 0xfe03:  // ISO_Level3_Shift (AltGr)
    case 0xfe11:  // ISO_Level5_Shift
      return true;
    default:
      return false;
  }
}

// XKB's LatchLockState. xcb's description of the request has a pad where the latched
// modifiers go, so it is put together here.
unsigned LatchAndLock(xcb_connection_t* connection, unsigned lockMask, unsigned locks,
                      unsigned latchMask, unsigned latches) {
  static const xcb_protocol_request_t request = {2, &xcb_xkb_id, XCB_XKB_LATCH_LOCK_STATE, 1};
  xcb_xkb_latch_lock_state_request_t out{};
  out.deviceSpec = XCB_XKB_ID_USE_CORE_KBD;
  out.affectModLocks = static_cast<std::uint8_t>(lockMask);
  out.modLocks = static_cast<std::uint8_t>(locks);
  out.affectModLatches = static_cast<std::uint8_t>(latchMask);
  out.pad0 = static_cast<std::uint8_t>(latches);  // modLatches
  iovec parts[4];
  parts[2].iov_base = &out;
  parts[2].iov_len = sizeof out;
  parts[3].iov_base = nullptr;
  parts[3].iov_len = (-sizeof out) & 3;
  return xcb_send_request(connection, 0, parts + 2, &request);
}

struct Connection {
  xcb_connection_t* xcb;
  ~Connection() { xcb_disconnect(xcb); }
};

// One key of the user's, on the keyboard that holds it.
struct HeldKey {
  int device;
  int keyCode;
};

class XTestKeyOutput final : public KeyOutput {
 public:
  explicit XTestKeyOutput(xcb_connection_t* connection)
      : connection_{connection},
        keymap_(connection,
                FindXTestKeyboard(connection, std::chrono::steady_clock::now() + kStartWait)),
        held_(connection, std::chrono::steady_clock::now() + kStartWait) {
    if (const auto* xi = xcb_get_extension_data(connection, &xcb_input_id); xi && xi->present)
      xiEventBase_ = xi->first_event;
    Update();
  }
  XTestKeyOutput(const XTestKeyOutput&) = delete;
  XTestKeyOutput& operator=(const XTestKeyOutput&) = delete;

  int KeyCodeFor(int charCode) override {
    Update();
    readForPress_ = true;
    return keymap_.FindChar(charCode);
  }

  void Press(const KeyStroke& stroke) override;

  int NoticeDescriptor() const override { return keymap_.NoticeDescriptor(); }

  void TakeArrived() override {
    keymap_.TakeArrived(OwnEchoes());
    if (HeldModifiersChanged()) held_.Refresh();
    held_.Update();
    // Taking the held keys' answers reads on from the connection, which may queue notices that
    // the descriptor no longer shows.
    keymap_.TakeQueued(OwnEchoes());
  }

 private:
  void Update() {
    keymap_.Update(OwnEchoes());
    if (HeldModifiersChanged()) {
      held_.Refresh();
      // The answer comes within a moment from a server that is not held by another client.
      held_.WaitUntil(std::chrono::steady_clock::now() + kChangeWait);
    }
    held_.Update();
  }

  // The user pressed or let go of a modifier key: which keyboard holds what is asked again.
  bool HeldModifiersChanged() noexcept {
    return std::exchange(heldModifiers_, keymap_.State().held) != keymap_.State().held;
  }

  XServerKeymap::EventFilter OwnEchoes() {
    return [this](const xcb_generic_event_t& event) { return IsOwnEcho(event); };
  }

  // The state notices that our own presses cause. They are left out: a press restores whatever
  // it changed, so the state after it is the state before, and one read in the middle of its
  // notices would have us take our own keys for the user's.
  bool IsOwnEcho(const xcb_generic_event_t& event);
  void Sent(unsigned sequence) noexcept {
    if (!batchStarted_) batchFirst_ = sequence;
    batchStarted_ = true;
    batchLast_ = sequence;
  }
  void Key(int keyCode, bool down) {
    Sent(xcb_test_fake_input(connection_.xcb, down ? XCB_KEY_PRESS : XCB_KEY_RELEASE,
                             static_cast<std::uint8_t>(keyCode), XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                             0)
             .sequence);
  }
  // On the keyboard that holds the key, so that its own record of the key stays true: a key that
  // XTest pressed again would stay down there after the user let go of it.
  void KeyOn(const HeldKey& key, bool down) {
    const int type =
        xiEventBase_ + (down ? XCB_INPUT_DEVICE_KEY_PRESS : XCB_INPUT_DEVICE_KEY_RELEASE);
    Sent(xcb_test_fake_input(connection_.xcb, static_cast<std::uint8_t>(type),
                             static_cast<std::uint8_t>(key.keyCode), XCB_CURRENT_TIME, XCB_NONE, 0,
                             0, static_cast<std::uint8_t>(key.device))
             .sequence);
  }

  Connection connection_;  // closed last
  XServerKeymap keymap_;
  XHeldKeys held_;
  int xiEventBase_ = -1;
  unsigned heldModifiers_ = 0;
  std::deque<std::pair<std::uint32_t, std::uint32_t>> ownBatches_;  // first and last request
  bool batchStarted_ = false;
  std::uint32_t batchFirst_ = 0, batchLast_ = 0;
  bool readForPress_ = false;  // the notices were read by KeyCodeFor, no press since
};

bool XTestKeyOutput::IsOwnEcho(const xcb_generic_event_t& event) {
  const int type = event.response_type & 0x7f;
  if (type != keymap_.XkbEventType() || event.pad0 != XCB_XKB_STATE_NOTIFY) return false;
  const std::uint32_t sequence = SequenceOf(&event);
  while (!ownBatches_.empty() && SequenceAfter(sequence, ownBatches_.front().second))
    ownBatches_.pop_front();
  return !ownBatches_.empty() && !SequenceAfter(ownBatches_.front().first, sequence);
}

void XTestKeyOutput::Press(const KeyStroke& stroke) {
  // A press right after its key code was looked up is judged by the keymap that gave the
  // code; reading the connection again would cost as much as the press itself.
  if (!std::exchange(readForPress_, false)) Update();
  const int key = stroke.keyCode;
  // An unknown code would make the server answer with an error.
  if (!keymap_.Has(key)) return;
  const ModifierKeys modifiers{stroke.command, stroke.control, stroke.option, stroke.shift};
  // A dead key would stay pending in the focused application and change the user's next key.
  if (StartsComposing(keymap_.KeysymWith(key, modifiers))) return;

  const auto wanted = WhichDown(modifiers);
  const auto& modifierKeys = keymap_.ModifierKeyCodes();
  unsigned rowModifiers = 0, anyRowModifier = 0;
  for (size_t i = 0; i < modifierKeys.size(); ++i) {
    if (modifierKeys[i] == kNoKeyCode) continue;
    const unsigned m = keymap_.ModifiersOf(modifierKeys[i]);
    anyRowModifier |= m;
    if (wanted[i]) rowModifiers |= m;
  }

  // The user's modifier keys that would add to the row's are lifted for the key; those the row
  // asks for stay down and serve it.
  std::array<HeldKey, 16> lifted{};
  size_t liftedCount = 0;
  unsigned heldModifiers = 0;
  const auto& state = keymap_.State();
  // With no modifier held, whatever the last answer says of the keyboards is old news.
  if (state.held != 0)
    held_.ForEach([&](int device, int code) {
      const unsigned m = keymap_.ModifiersOf(code);
      const bool lift = code == key || (m != 0 && (m & rowModifiers) == 0 &&
                                        ShiftsWhileHeld(keymap_.KeysymWithModifiers(code, 0)));
      if (lift && liftedCount < lifted.size())
        lifted[liftedCount++] = {device, code};
      else
        heldModifiers |= m;
    });
  // A latch would go with the key; a lock counts where it changes the key's level or adds a
  // modifier of the kind the rows choose from.
  const unsigned latched = state.latched;
  const unsigned locked =
      state.locked & (keymap_.LevelModifiersOf(key) | anyRowModifier) & ~rowModifiers;

  batchStarted_ = false;
  if (latched != 0 || locked != 0) Sent(LatchAndLock(connection_.xcb, locked, 0, latched, 0));
  for (size_t i = 0; i < liftedCount; ++i) KeyOn(lifted[i], false);
  std::array<int, 4> pressed{};
  size_t pressedCount = 0;
  for (size_t i = 0; i < modifierKeys.size(); ++i) {
    const int code = modifierKeys[i];
    if (!wanted[i] || code == kNoKeyCode) continue;  // a layout without it: left out
    const unsigned m = keymap_.ModifiersOf(code);
    if (m != 0 && (m & heldModifiers) == m) continue;  // the user holds it already
    bool shared = false;                               // two modifiers on one key
    for (size_t j = 0; j < pressedCount; ++j) shared = shared || pressed[j] == code;
    if (shared) continue;
    pressed[pressedCount++] = code;
    Key(code, true);
  }
  Key(key, true);
  Key(key, false);
  for (size_t i = pressedCount; i-- > 0;) Key(pressed[i], false);
  for (size_t i = liftedCount; i-- > 0;) KeyOn(lifted[i], true);
  if (latched != 0 || locked != 0)
    Sent(LatchAndLock(connection_.xcb, locked, locked, latched, latched));
  // Whatever the server does after our last request carries that request's number: a request
  // of no effect ends the batch, so that the user's next key counts as the user's.
  xcb_no_operation(connection_.xcb);
  ownBatches_.emplace_back(batchFirst_, batchLast_);
  if (ownBatches_.size() > 64) ownBatches_.pop_front();  // a server that sends no raw events
  xcb_flush(connection_.xcb);
  // Sending reads whatever the server has sent meanwhile: a notice among it would otherwise
  // wait, unseen by whoever watches the descriptor, for the next press.
  keymap_.TakeQueued(OwnEchoes());
}

}  // namespace

std::unique_ptr<KeyOutput> NewXTestKeyOutput(const char* displayName, std::string& error) {
  xcb_connection_t* connection =
      ConnectWithExtensions(displayName, {&xcb_test_id, &xcb_input_id, &xcb_xkb_id}, error);
  if (connection == nullptr) return nullptr;
  const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(connection, &xcb_test_id);
  if (xtest == nullptr || xtest->present == 0) {
    error = "the X server has no XTEST extension";
    xcb_disconnect(connection);
    return nullptr;
  }
  return std::make_unique<XTestKeyOutput>(connection);
}

}  // namespace platform::linux_keys
