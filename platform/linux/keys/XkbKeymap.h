#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/linux/keys/EvdevKeymap.h"
#include "platform/linux/keys/KeyboardConfig.h"

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace platform::linux_keys {

// A keymap compiled by libxkbcommon, from a keyboard configuration or from a keymap's text (as a
// Wayland compositor sends it), with one of its layouts active.
class XkbKeymap final : public EvdevKeymap {
 public:
  // Null, with the reason in `error`, when the configuration does not compile (an unknown
  // layout, no keymap data installed).
  static std::unique_ptr<XkbKeymap> Compile(const KeyboardConfig& config, std::string& error);
  // The same for a keymap in the XKB text format; `source` says where it came from.
  static std::unique_ptr<XkbKeymap> FromText(const std::string& text, const std::string& source,
                                             std::string& error);

  ~XkbKeymap() override;
  XkbKeymap(const XkbKeymap&) = delete;
  XkbKeymap& operator=(const XkbKeymap&) = delete;

  // Makes the layout (group) with this index the active one; the first one at the start. An
  // index past the keymap's layouts wraps, or what each key's own rule says.
  void SetLayout(std::uint32_t index);

  int EvdevCodeFor(int charCode, int maxCode) override;
  std::uint32_t KeysymWith(int evdevCode, const ModifierKeys& modifiers) const override;
  const std::string& Source() const override { return source_; }

 private:
  XkbKeymap(xkb_context* context, xkb_keymap* keymap, std::string source);
  xkb_context* context_;
  xkb_keymap* keymap_;
  xkb_state* layoutState_;  // only the active layout is set in it
  std::uint32_t layout_ = 0;
  std::string source_;
};

}  // namespace platform::linux_keys
