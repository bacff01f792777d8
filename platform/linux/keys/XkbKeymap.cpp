#include "platform/linux/keys/XkbKeymap.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "platform/linux/keys/KeyMatcher.h"

namespace platform::linux_keys {
namespace {

// xkb key codes are evdev codes shifted by the X protocol's minimum key code.
constexpr xkb_keycode_t kEvdevOffset = 8;

const char* OrNull(const std::string& s) { return s.empty() ? nullptr : s.c_str(); }

// The level that a key reaches in its layout with only Shift or only Lock down, or neither. A
// level that no entry of the key's type maps that modifier to is the first one, as in the state
// machine.
xkb_level_index_t LevelIn(xkb_keymap* keymap, xkb_keycode_t key, xkb_layout_index_t layout,
                          xkb_level_index_t levels, TypingState state) {
  const char* name = state == TypingState::kShift  ? XKB_MOD_NAME_SHIFT
                     : state == TypingState::kLock ? XKB_MOD_NAME_CAPS
                                                   : nullptr;
  xkb_mod_mask_t wanted = 0;
  if (name != nullptr) {
    const xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap, name);
    if (index == XKB_MOD_INVALID) return 0;
    wanted = xkb_mod_mask_t{1} << index;
  }
  for (xkb_level_index_t level = 0; level < levels; ++level) {
    std::array<xkb_mod_mask_t, 16> masks{};
    const size_t count =
        xkb_keymap_key_get_mods_for_level(keymap, key, layout, level, masks.data(), masks.size());
    for (size_t i = 0; i < count; ++i)
      if (masks[i] == wanted) return level;
  }
  return 0;
}

// Keys are told apart by their names in the keymap, as on the X road: "(" is Shift+9, not the
// keypad's parenthesis.
bool IsMainBlock(xkb_keymap* keymap, xkb_keycode_t key) {
  const char* name = xkb_keymap_key_get_name(keymap, key);
  if (name == nullptr) return true;  // the keymap does not say
  return KeyMatcher::IsMainBlockKeyName(name, std::strlen(name));
}

}  // namespace

std::unique_ptr<XkbKeymap> XkbKeymap::Compile(const KeyboardConfig& config, std::string& error) {
  xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  if (context == nullptr) {
    error = "cannot start libxkbcommon";
    return nullptr;
  }
  const std::string name =
      "\"" + config.layout + "\"" + (config.variant.empty() ? "" : " (" + config.variant + ")");
  const xkb_rule_names names{"evdev", OrNull(config.model), OrNull(config.layout),
                             OrNull(config.variant), OrNull(config.options)};
  xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
  if (keymap == nullptr) {
    error = "cannot compile the keyboard layout " + name;
    xkb_context_unref(context);
    return nullptr;
  }
  return std::unique_ptr<XkbKeymap>(new XkbKeymap(context, keymap, "the keyboard layout " + name));
}

std::unique_ptr<XkbKeymap> XkbKeymap::FromText(const std::string& text, const std::string& source,
                                               std::string& error) {
  xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  if (context == nullptr) {
    error = "cannot start libxkbcommon";
    return nullptr;
  }
  xkb_keymap* keymap = xkb_keymap_new_from_buffer(
      context, text.data(), text.size(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
  if (keymap == nullptr) {
    error = "cannot compile the keymap of " + source;
    xkb_context_unref(context);
    return nullptr;
  }
  return std::unique_ptr<XkbKeymap>(new XkbKeymap(context, keymap, source));
}

XkbKeymap::XkbKeymap(xkb_context* context, xkb_keymap* keymap, std::string source)
    : context_(context),
      keymap_(keymap),
      layoutState_(xkb_state_new(keymap)),
      source_(std::move(source)) {}

XkbKeymap::~XkbKeymap() {
  if (layoutState_ != nullptr) xkb_state_unref(layoutState_);
  xkb_keymap_unref(keymap_);
  xkb_context_unref(context_);
}

void XkbKeymap::SetLayout(std::uint32_t index) {
  layout_ = index;
  if (layoutState_ != nullptr) xkb_state_update_mask(layoutState_, 0, 0, 0, 0, 0, index);
}

int XkbKeymap::EvdevCodeFor(int charCode, int maxCode) {
  KeyMatcher matcher = KeyMatcher::ForChar(charCode);
  if (matcher.Hopeless() || layoutState_ == nullptr) return -1;
  const xkb_keycode_t last =
      std::min(xkb_keymap_max_keycode(keymap_), static_cast<xkb_keycode_t>(maxCode) + kEvdevOffset);
  for (xkb_keycode_t key = std::max(xkb_keymap_min_keycode(keymap_), kEvdevOffset + 1); key <= last;
       ++key) {
    // The layout this key takes while the active one is set, by the key's own rule where it has
    // fewer layouts.
    const xkb_layout_index_t layout = xkb_state_key_get_layout(layoutState_, key);
    if (layout == XKB_LAYOUT_INVALID) continue;
    const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap_, key, layout);
    if (levels == 0) continue;
    matcher.OfferKey(
        static_cast<int>(key - kEvdevOffset),
        [&](TypingState state) { return LevelIn(keymap_, key, layout, levels, state); },
        [&](xkb_level_index_t level) {
          const xkb_keysym_t* syms = nullptr;
          return xkb_keymap_key_get_syms_by_level(keymap_, key, layout, level, &syms) == 1
                     ? syms[0]
                     : XKB_KEY_NoSymbol;
        },
        IsMainBlock(keymap_, key));
  }
  return matcher.KeyCode();
}

std::uint32_t XkbKeymap::KeysymWith(int evdevCode, const ModifierKeys& modifiers) const {
  if (evdevCode < 1) return 0;
  xkb_state* state = xkb_state_new(keymap_);
  if (state == nullptr) return 0;
  xkb_state_update_mask(state, 0, 0, 0, 0, 0, layout_);
  // Pressing the modifier keys through the keymap sets the modifiers exactly as the reader of
  // the device will.
  const std::array<bool, 4> wanted = WhichDown(modifiers);
  for (size_t i = 0; i < kModifierEvdevCodes.size(); ++i)
    if (wanted[i] && kModifierEvdevCodes[i] != evdevCode)
      xkb_state_update_key(state, static_cast<xkb_keycode_t>(kModifierEvdevCodes[i]) + kEvdevOffset,
                           XKB_KEY_DOWN);
  const xkb_keysym_t keysym =
      xkb_state_key_get_one_sym(state, static_cast<xkb_keycode_t>(evdevCode) + kEvdevOffset);
  xkb_state_unref(state);
  return keysym;
}

}  // namespace platform::linux_keys
