#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

struct xcb_xkb_get_map_reply_t;
struct xcb_xkb_get_names_reply_t;

namespace platform::linux_keys {

// The part of an X server's XKB keymap that says what each key types: key types (which
// modifiers pick which level), the keysyms of each key by group and level, the modifier map and
// whether a key belongs to the main block. Built from the server's replies and then read only.
class XkbKeyTable {
 public:
  XkbKeyTable() = default;  // no keys at all
  // From a GetMap reply with key types, key syms and the modifier map, and a GetNames reply
  // with the key names (null: every key counts as of the main block). Empty when the map is
  // missing or does not hold together.
  static XkbKeyTable FromReplies(const xcb_xkb_get_map_reply_t* map,
                                 const xcb_xkb_get_names_reply_t* names);

  bool Empty() const noexcept { return keys_.empty(); }
  int MinKeyCode() const noexcept { return minKey_; }
  int MaxKeyCode() const noexcept { return minKey_ + static_cast<int>(keys_.size()) - 1; }
  bool Has(int keyCode) const noexcept { return keyCode >= minKey_ && keyCode <= MaxKeyCode(); }

  // The group a key uses while the keyboard is in `group`, by the key's own rule for groups it
  // does not have (wrap unless it says otherwise), as the server does. -1 for a key without any.
  int GroupOf(int keyCode, int group) const;
  // The level that these real modifiers pick on the key in that (the key's own) group.
  int LevelOf(int keyCode, int keyGroup, unsigned realModifiers) const;
  // The real modifiers that the key's type looks at in that group: those that change its level.
  unsigned LevelModifiers(int keyCode, int keyGroup) const;
  std::uint32_t KeysymAt(int keyCode, int keyGroup, int level) const;
  // The real modifiers that the key sets by the modifier map, 0 for most keys.
  unsigned ModifiersOf(int keyCode) const;
  // A key of the alphanumeric block (letters, digits, signs and space), not of the keypad or one
  // of the extra keys that some keyboards have.
  bool InMainBlock(int keyCode) const;

 private:
  struct Type {
    unsigned mask = 0;
    std::vector<std::array<std::uint8_t, 2>> levelOfModifiers;  // {modifiers, level}
  };
  struct Key {
    std::uint8_t groupInfo = 0;
    std::uint8_t width = 0;
    std::array<std::uint8_t, 4> types{};
    std::vector<std::uint32_t> keysyms;  // group by group, `width` levels each
    std::uint8_t modifiers = 0;
    bool mainBlock = true;
  };
  const Key& KeyAt(int keyCode) const { return keys_[static_cast<size_t>(keyCode - minKey_)]; }
  const Type* TypeOf(int keyCode, int keyGroup) const;

  int minKey_ = 0;
  std::vector<Key> keys_;
  std::vector<Type> types_;
};

}  // namespace platform::linux_keys
