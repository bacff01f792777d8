#pragma once

#include <cstdint>

namespace platform::linux_keys {

// The X keysym of a character code (a Unicode code point): BackSpace, Tab, Return (for CR and
// LF), Escape and Delete for their control characters, Latin-1 as itself, any other character
// as 0x01000000 + code point. 0 for other control characters, surrogates and non-characters.
std::uint32_t KeysymForChar(int charCode);

// Finds the key of a keymap that types a character or gives a keysym. The keymap's walkers
// offer every (key code, level, keysym) of the active group; the key whose lowest level matches
// wins (so "1" is the digit key, not the keypad's), then the lowest key code.
class KeyMatcher {
 public:
  static KeyMatcher ForChar(int charCode);
  static KeyMatcher ForKeysym(std::uint32_t keysym);

  void Offer(int keyCode, int level, std::uint32_t keysym) noexcept;

  bool Found() const noexcept { return best_ >= 0; }
  int KeyCode() const noexcept { return best_; }  // -1 when nothing matched
  // Nothing can match (a character that has no keysym): the walk can be left out.
  bool Hopeless() const noexcept { return keysym_ == 0; }

 private:
  KeyMatcher(std::uint32_t keysym, int charCode) : keysym_(keysym), charCode_(charCode) {}
  bool Matches(std::uint32_t keysym) const noexcept;

  std::uint32_t keysym_;
  int charCode_;  // -1: match the keysym alone
  int best_ = -1;
  int bestLevel_ = 0;
};

}  // namespace platform::linux_keys
