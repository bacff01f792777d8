#include "platform/linux/keys/XkbKeymap.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>

#include "platform/linux/keys/KeyMatcher.h"

namespace platform::linux_keys {
namespace {

// xkb key codes are evdev codes shifted by the X protocol's minimum key code.
constexpr xkb_keycode_t kEvdevOffset = 8;

const char* OrNull(const std::string& s) { return s.empty() ? nullptr : s.c_str(); }

}  // namespace

std::unique_ptr<XkbKeymap> XkbKeymap::Compile(const KeyboardConfig& config, std::string& error) {
  xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  if (context == nullptr) {
    error = "cannot start libxkbcommon";
    return nullptr;
  }
  const xkb_rule_names names{"evdev", OrNull(config.model), OrNull(config.layout),
                             OrNull(config.variant), OrNull(config.options)};
  xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
  if (keymap == nullptr) {
    error = "cannot compile the keyboard layout \"" + config.layout + "\"" +
            (config.variant.empty() ? "" : " (" + config.variant + ")");
    xkb_context_unref(context);
    return nullptr;
  }
  return std::unique_ptr<XkbKeymap>(new XkbKeymap(context, keymap));
}

XkbKeymap::~XkbKeymap() {
  xkb_keymap_unref(keymap_);
  xkb_context_unref(context_);
}

int XkbKeymap::EvdevCodeFor(int charCode, int maxCode) const {
  KeyMatcher matcher = KeyMatcher::ForChar(charCode);
  if (matcher.Hopeless()) return -1;
  const xkb_keycode_t last =
      std::min(xkb_keymap_max_keycode(keymap_), static_cast<xkb_keycode_t>(maxCode) + kEvdevOffset);
  for (xkb_keycode_t key = std::max(xkb_keymap_min_keycode(keymap_), kEvdevOffset + 1); key <= last;
       ++key) {
    const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap_, key, 0);
    for (xkb_level_index_t level = 0; level < levels; ++level) {
      const xkb_keysym_t* syms = nullptr;
      if (xkb_keymap_key_get_syms_by_level(keymap_, key, 0, level, &syms) == 1)
        matcher.Offer(static_cast<int>(key - kEvdevOffset), static_cast<int>(level), syms[0]);
    }
  }
  return matcher.KeyCode();
}

}  // namespace platform::linux_keys
