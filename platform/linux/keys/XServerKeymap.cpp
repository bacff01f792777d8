// The X headers come last: they define macros (None, KeyPress, Bool) that would clash with names
// in our own headers.
#include "platform/linux/keys/XServerKeymap.h"

#include "platform/KeyPress.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XKB.h>
#include <X11/keysym.h>

namespace platform::linux_keys {
namespace {

// The level that a key type gives for these real modifiers: the level of the map entry for
// exactly the type's modifiers among them, the first level when no entry has them.
int LevelOf(const XkbKeyTypeRec& type, unsigned realModifiers) {
  const unsigned relevant = realModifiers & type.mods.mask;
  for (int i = 0; i < type.map_count; ++i) {
    const XkbKTMapEntryRec& entry = type.map[i];
    if (entry.active && entry.mods.mask == relevant) return entry.level;
  }
  return 0;
}

// A keymap copied onto the core keyboard (see CopiedKeymaps): between a real keyboard and XTest
// at every remote button the user presses after typing. Elsewhere a change of the keymap comes by
// its own request (a new keymap loaded, or SetMap with a map notice).
bool IsCopiedKeymap(const XkbNewKeyboardNotifyEvent& event) {
  return event.req_minor == X_kbSetMap && event.min_key_code == event.old_min_key_code &&
         event.max_key_code == event.old_max_key_code;
}

unsigned RealModifiersOf(TypingState state) {
  switch (state) {
    case TypingState::kShift:
      return ShiftMask;
    case TypingState::kLock:
      return LockMask;
    default:
      return 0;
  }
}

}  // namespace

XServerKeymap::XServerKeymap(Display* display, CopiedKeymaps copied)
    : display_(display), copied_(copied) {
  int opcode = 0, eventBase = 0, errorBase = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
  if (XkbQueryExtension(display_, &opcode, &eventBase, &errorBase, &major, &minor)) {
    xkbEventType_ = eventBase;
    // Asked for before the first fetch: whatever changes after it is told.
    constexpr unsigned long kMapEvents = XkbMapNotifyMask | XkbNewKeyboardNotifyMask;
    XkbSelectEvents(display_, XkbUseCoreKbd, kMapEvents, kMapEvents);
    XkbSelectEventDetails(display_, XkbUseCoreKbd, XkbStateNotify, XkbGroupStateMask,
                          XkbGroupStateMask);
  }
  Fetch();
}

XServerKeymap::~XServerKeymap() {
  if (xkb_ != nullptr) XkbFreeKeyboard(xkb_, 0, True);
}

void XServerKeymap::Fetch() {
  if (xkb_ != nullptr) XkbFreeKeyboard(xkb_, 0, True);
  xkb_ = nullptr;
  keyOfChar_.clear();
  modifierKeys_.fill(kNoKeyCode);
  if (xkbEventType_ < 0) return;
  xkb_ = XkbGetMap(display_, XkbKeyTypesMask | XkbKeySymsMask | XkbModifierMapMask, XkbUseCoreKbd);
  XkbStateRec state{};
  group_ = XkbGetState(display_, XkbUseCoreKbd, &state) == Success ? state.group : 0;
  const KeySym modifiers[] = {XK_Super_L, XK_Control_L, XK_Alt_L, XK_Shift_L};
  for (size_t i = 0; i < modifierKeys_.size(); ++i)
    modifierKeys_[i] = Find(KeyMatcher::ForKeysym(static_cast<std::uint32_t>(modifiers[i])));
}

void XServerKeymap::Update() {
  bool changed = false;
  while (XPending(display_) > 0) {
    XkbEvent event;
    XNextEvent(display_, &event.core);
    if (event.type == MappingNotify) {
      changed = true;
    } else if (event.type == xkbEventType_) {
      switch (event.any.xkb_type) {
        case XkbStateNotify:
          if (event.state.group != group_) {
            group_ = event.state.group;
            keyOfChar_.clear();
          }
          break;
        case XkbMapNotify:
          changed = true;
          break;
        case XkbNewKeyboardNotify:
          if (copied_ == CopiedKeymaps::kFollow || !IsCopiedKeymap(event.new_kbd)) changed = true;
          break;
        default:
          break;
      }
    }
  }
  if (changed) Fetch();
}

bool XServerKeymap::Has(int keyCode) const {
  return xkb_ != nullptr && keyCode >= xkb_->min_key_code && keyCode <= xkb_->max_key_code;
}

// The group a key uses when the keyboard is in group_, by the key's own rule for groups it does
// not have (wrap unless it says otherwise), as the server does. -1 for a key without groups.
int XServerKeymap::GroupOf(int key) const {
  const int groups = XkbKeyNumGroups(xkb_, key);
  if (groups == 0) return -1;
  if (group_ < groups) return group_;
  const unsigned info = XkbKeyGroupInfo(xkb_, key);
  switch (XkbOutOfRangeGroupAction(info)) {
    case XkbClampIntoRange:
      return groups - 1;
    case XkbRedirectIntoRange: {
      const int target = static_cast<int>(XkbOutOfRangeGroupNumber(info));
      return target < groups ? target : 0;
    }
    default:
      return group_ % groups;
  }
}

int XServerKeymap::Find(KeyMatcher matcher) const {
  if (xkb_ == nullptr || matcher.Hopeless()) return kNoKeyCode;
  for (int key = xkb_->min_key_code; key <= xkb_->max_key_code; ++key) {
    const int group = GroupOf(key);
    if (group < 0) continue;
    const XkbKeyTypeRec& type = *XkbKeyKeyType(xkb_, key, group);
    const int width = XkbKeyGroupWidth(xkb_, key, group);
    matcher.OfferKey(
        key, [&](TypingState state) { return LevelOf(type, RealModifiersOf(state)); },
        [&](int level) { return level < width ? XkbKeySymEntry(xkb_, key, level, group) : 0; });
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

std::uint32_t XServerKeymap::KeysymWith(int keyCode, const ModifierKeys& modifiers) const {
  if (!Has(keyCode)) return 0;
  const int group = GroupOf(keyCode);
  if (group < 0) return 0;
  // The real modifiers that the modifier keys set, by the server's modifier map.
  const bool wanted[] = {modifiers.meta, modifiers.ctrl, modifiers.alt, modifiers.shift};
  unsigned realModifiers = 0;
  for (size_t i = 0; i < modifierKeys_.size() && xkb_->map->modmap != nullptr; ++i)
    if (wanted[i] && modifierKeys_[i] != kNoKeyCode)
      realModifiers |= xkb_->map->modmap[modifierKeys_[i]];
  const int level = LevelOf(*XkbKeyKeyType(xkb_, keyCode, group), realModifiers);
  if (level >= XkbKeyGroupWidth(xkb_, keyCode, group)) return 0;
  return static_cast<std::uint32_t>(XkbKeySymEntry(xkb_, keyCode, level, group));
}

}  // namespace platform::linux_keys
