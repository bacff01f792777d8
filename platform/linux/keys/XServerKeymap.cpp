// The X headers come last: they define macros (None, KeyPress, Bool) that would clash with names
// in our own headers.
#include "platform/linux/keys/XServerKeymap.h"

#include "platform/KeyPress.h"

#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xinput.h>
#include "platform/linux/keys/XcbXkb.h"

#include <cstdlib>
#include <utility>

namespace platform::linux_keys {
namespace {

constexpr xcb_xkb_device_spec_t kCoreKeyboard = XCB_XKB_ID_USE_CORE_KBD;
constexpr std::uint16_t kMapParts =
    XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP;

unsigned RealModifiersOf(TypingState state) {
  switch (state) {
    case TypingState::kShift:
      return XCB_MOD_MASK_SHIFT;
    case TypingState::kLock:
      return XCB_MOD_MASK_LOCK;
    default:
      return 0;
  }
}

}  // namespace

XServerKeymap::XServerKeymap(xcb_connection_t* connection, std::optional<XTestKeyboard> xtest)
    : connection_(connection), xtest_(xtest) {
  if (xtest_) xtestSentLast_ = xtest_->lastSource == xtest_->device;
  modifierKeys_.fill(kNoKeyCode);
  // An XKB request would make xcb wait for the extension's opcode: it is asked for first, and
  // it is in once the answer to a later request is.
  xcb_prefetch_extension_data(connection_, &xcb_xkb_id);
  extensionAnswered_ = PendingReply(xcb_get_input_focus(connection_).sequence);
  xcb_flush(connection_);
  const Deadline deadline = std::chrono::steady_clock::now() + kStartWait;
  if (!extensionAnswered_.WaitUntil(connection_, deadline)) return;  // Update goes on from here
  Start();
  if (map_.WaitUntil(connection_, deadline) && names_.WaitUntil(connection_, deadline))
    state_.WaitUntil(connection_, deadline);
  TakeReplies();
}

XServerKeymap::~XServerKeymap() = default;

int XServerKeymap::NoticeDescriptor() const {
  return xcb_connection_has_error(connection_) == 0 ? xcb_get_file_descriptor(connection_) : -1;
}

void XServerKeymap::Start() {
  extensionAnswered_ = {};
  const xcb_query_extension_reply_t* xkb = xcb_get_extension_data(connection_, &xcb_xkb_id);
  if (xkb == nullptr || xkb->present == 0) return;
  xcb_discard_reply(
      connection_,
      xcb_xkb_use_extension(connection_, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION).sequence);
  xkbEventType_ = xkb->first_event;
  // Asked for before the first fetch: whatever changes after it is told. The state is the core
  // keyboard's, the keymap the chosen keyboard's; the notices of each come for that one alone.
  constexpr std::uint16_t kMapNotices =
      XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
  constexpr std::uint16_t kState =
      XCB_XKB_STATE_PART_GROUP_STATE | XCB_XKB_STATE_PART_MODIFIER_BASE |
      XCB_XKB_STATE_PART_MODIFIER_LATCH | XCB_XKB_STATE_PART_MODIFIER_LOCK;
  const xcb_xkb_select_events_details_t none{};
  xcb_xkb_select_events_details_t details{};
  details.affectState = details.stateDetails = kState;
  xcb_xkb_select_events_aux(connection_, kCoreKeyboard, XCB_XKB_EVENT_TYPE_STATE_NOTIFY, 0, 0, 0, 0,
                            &details);
  xcb_xkb_select_events_aux(connection_, kCoreKeyboard, kMapNotices, 0, kMapNotices, kMapParts,
                            kMapParts, &none);
  if (xtest_) {
    xcb_xkb_select_events_aux(connection_, static_cast<xcb_xkb_device_spec_t>(xtest_->device),
                              kMapNotices, 0, kMapNotices, kMapParts, kMapParts, &none);
    // Which keyboard sent the last key: the server tells it as the core keyboard's slave switch.
    const xcb_query_extension_reply_t* xi = xcb_get_extension_data(connection_, &xcb_input_id);
    if (xi != nullptr && xi->present != 0) {
      xiOpcode_ = xi->major_opcode;
      struct {
        xcb_input_event_mask_t head;
        std::uint32_t mask;
      } select{{static_cast<xcb_input_device_id_t>(xtest_->master), 1},
               XCB_INPUT_XI_EVENT_MASK_DEVICE_CHANGED};
      const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
      xcb_input_xi_select_events(connection_, root, 1, &select.head);
    }
  }
  state_ = PendingReply(xcb_xkb_get_state(connection_, kCoreKeyboard).sequence);
  newerStateNotice_ = false;
  AskForKeymap();
  waitedForMap_ = true;
}

void XServerKeymap::AskForKeymap() {
  const auto device = static_cast<xcb_xkb_device_spec_t>(KeymapDevice());
  map_ = PendingReply(xcb_xkb_get_map(connection_, device, kMapParts, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                      0, 0, 0, 0, 0, 0)
                          .sequence);
  names_ =
      PendingReply(xcb_xkb_get_names(connection_, device, XCB_XKB_NAME_DETAIL_KEY_NAMES).sequence);
  askAgain_ = false;
  waitedForMap_ = false;
  xcb_flush(connection_);
}

void XServerKeymap::SetGroup(int group) {
  if (group == group_) return;
  group_ = group;
  keyOfChar_.clear();
}

bool XServerKeymap::TakeReplies() {
  bool took = false;
  if (state_.Asked() && state_.Poll(connection_)) {
    const auto* state = static_cast<const xcb_xkb_get_state_reply_t*>(state_.Reply());
    // A notice that came after the question is newer than the answer.
    if (state != nullptr && !newerStateNotice_) {
      SetGroup(state->group);
      modifiers_ = {state->baseMods, state->latchedMods, state->lockedMods};
    }
    state_ = {};
    took = true;
  }
  if (!map_.Asked() || !map_.Poll(connection_) || !names_.Poll(connection_)) return took;
  const auto* map = static_cast<const xcb_xkb_get_map_reply_t*>(map_.Reply());
  if (map != nullptr) {
    table_ = XkbKeyTable::FromReplies(
        map, static_cast<const xcb_xkb_get_names_reply_t*>(names_.Reply()));
    keyOfChar_.clear();
    const std::uint32_t modifiers[] = {XK_Super_L, XK_Control_L, XK_Alt_L, XK_Shift_L};
    for (size_t i = 0; i < modifierKeys_.size(); ++i)
      modifierKeys_[i] = Find(KeyMatcher::ForKeysym(modifiers[i]));
  }
  map_ = {};
  names_ = {};
  if (askAgain_) AskForKeymap();
  return true;
}

void XServerKeymap::Take(const xcb_generic_event_t& event) {
  bool changed = false;
  const int type = event.response_type & 0x7f;
  if (type == XCB_MAPPING_NOTIFY) {
    changed =
        reinterpret_cast<const xcb_mapping_notify_event_t&>(event).request != XCB_MAPPING_POINTER;
  } else if (type == XCB_GE_GENERIC) {
    changed = SwitchesKeyboard(event);
  } else if (type == xkbEventType_) {
    switch (event.pad0) {  // the XKB event's own type
      case XCB_XKB_STATE_NOTIFY: {
        const auto& state = reinterpret_cast<const xcb_xkb_state_notify_event_t&>(event);
        SetGroup(state.group);
        modifiers_ = {state.baseMods, state.latchedMods, state.lockedMods};
        if (state_.Asked()) newerStateNotice_ = true;
        break;
      }
      case XCB_XKB_MAP_NOTIFY:
        changed = !xtest_ || reinterpret_cast<const xcb_xkb_map_notify_event_t&>(event).deviceID ==
                                 KeymapDevice();
        break;
      case XCB_XKB_NEW_KEYBOARD_NOTIFY:
        changed = !xtest_ ||
                  reinterpret_cast<const xcb_xkb_new_keyboard_notify_event_t&>(event).deviceID ==
                      KeymapDevice();
        break;
      default:
        break;
    }
  }
  if (!changed || xkbEventType_ < 0) return;
  if (map_.Asked())
    askAgain_ = true;
  else
    AskForKeymap();
}

int XServerKeymap::KeymapDevice() const noexcept {
  if (!xtest_) return kCoreKeyboard;
  return xtestSentLast_ ? xtest_->master : xtest_->device;
}

bool XServerKeymap::SwitchesKeyboard(const xcb_generic_event_t& event) {
  const auto& changed = reinterpret_cast<const xcb_input_device_changed_event_t&>(event);
  if (!xtest_ || changed.extension != xiOpcode_ || changed.event_type != XCB_INPUT_DEVICE_CHANGED ||
      changed.deviceid != xtest_->master || changed.reason != XCB_INPUT_CHANGE_REASON_SLAVE_SWITCH)
    return false;
  const bool xtestSentLast = changed.sourceid == xtest_->device;
  return std::exchange(xtestSentLast_, xtestSentLast) != xtestSentLast;
}

void XServerKeymap::DrainEvents(const EventFilter& filter) {
  while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
    if (!filter || !filter(*event)) Take(*event);
    std::free(event);
  }
}

void XServerKeymap::TakeQueued(const EventFilter& filter) {
  while (xcb_generic_event_t* event = xcb_poll_for_queued_event(connection_)) {
    if (!filter || !filter(*event)) Take(*event);
    std::free(event);
  }
}

// Notices and replies in the order they came: taking a reply reads on from the connection,
// which may queue notices that came after it, even when the reply itself is not whole yet.
void XServerKeymap::TakeEverything(const EventFilter& filter) {
  DrainEvents(filter);
  while (TakeReplies()) DrainEvents(filter);
  TakeQueued(filter);
}

void XServerKeymap::TakeArrived(const EventFilter& filter) {
  if (extensionAnswered_.Asked() && extensionAnswered_.Poll(connection_)) Start();
  TakeEverything(filter);
}

void XServerKeymap::Update(const EventFilter& filter) {
  TakeArrived(filter);
  if (!map_.Asked() || waitedForMap_) return;
  // The first press after a change: the keymap is on its way, and one asked for again while it
  // was (a keymap copied in after the change) is waited for too, within the same bound.
  waitedForMap_ = true;
  const Deadline deadline = std::chrono::steady_clock::now() + kChangeWait;
  while (map_.Asked() && map_.WaitUntil(connection_, deadline) &&
         names_.WaitUntil(connection_, deadline))
    TakeEverything(filter);
}

unsigned XServerKeymap::LevelModifiersOf(int keyCode) const {
  return table_.LevelModifiers(keyCode, table_.GroupOf(keyCode, group_));
}

int XServerKeymap::Find(KeyMatcher matcher) const {
  if (table_.Empty() || matcher.Hopeless()) return kNoKeyCode;
  for (int key = table_.MinKeyCode(); key <= table_.MaxKeyCode(); ++key) {
    const int group = table_.GroupOf(key, group_);
    if (group < 0) continue;
    matcher.OfferKey(
        key, [&](TypingState state) { return table_.LevelOf(key, group, RealModifiersOf(state)); },
        [&](int level) { return table_.KeysymAt(key, group, level); }, table_.InMainBlock(key));
  }
  return matcher.Found() ? matcher.KeyCode() : kNoKeyCode;
}

int XServerKeymap::FindChar(int charCode) {
  const auto known = keyOfChar_.find(charCode);
  if (known != keyOfChar_.end()) return known->second;
  const int keyCode = Find(KeyMatcher::ForChar(charCode));
  keyOfChar_.emplace(charCode, keyCode);
  return keyCode;
}

std::uint32_t XServerKeymap::KeysymWithModifiers(int keyCode, unsigned realModifiers) const {
  const int group = table_.GroupOf(keyCode, group_);
  if (group < 0) return 0;
  return table_.KeysymAt(keyCode, group, table_.LevelOf(keyCode, group, realModifiers));
}

std::uint32_t XServerKeymap::KeysymWith(int keyCode, const ModifierKeys& modifiers) const {
  // The real modifiers that the modifier keys set, by the server's modifier map.
  const auto wanted = WhichDown(modifiers);
  unsigned realModifiers = 0;
  for (size_t i = 0; i < modifierKeys_.size(); ++i)
    if (wanted[i] && modifierKeys_[i] != kNoKeyCode)
      realModifiers |= table_.ModifiersOf(modifierKeys_[i]);
  return KeysymWithModifiers(keyCode, realModifiers);
}

}  // namespace platform::linux_keys
