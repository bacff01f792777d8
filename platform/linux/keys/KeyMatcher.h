#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace platform::linux_keys {

// The X keysym of a character code (a Unicode code point): BackSpace, Tab, Return (for CR and
// LF), Escape and Delete for their control characters, Latin-1 as itself, any other character
// as 0x01000000 + code point. 0 for other control characters, surrogates and non-characters.
std::uint32_t KeysymForChar(int charCode);

// True for a keysym after which the application waits for another key to make one character: a
// dead key or Compose. Pressing it would change what the user's next real key types.
bool StartsComposing(std::uint32_t keysym);

// The modifier states in which a key's level counts as typing its character. The row's modifiers
// never include AltGr (Level3), Level5 or the like, so a character found only on a level that
// needs one of those would come out as another character of the same key.
enum class TypingState { kPlain, kShift, kLock };

// Finds the key of a keymap that types a character or gives a keysym. The keymap's walkers
// offer every key of the active group; a key types what it gives with no modifier or with Shift
// or Lock alone. A key of the main block wins over a keypad or extra key (so "(" is Shift+9, not
// a keypad parenthesis that some keymaps put on a key of its own, and "<" on a US keyboard is
// Shift+comma, not the 102nd key): programs that act on key codes know the ordinary one. Then a
// key that gives it with no modifier wins over one that needs Shift or Lock (so "1" is the digit
// key, not a shifted one), then the lowest key code.
class KeyMatcher {
 public:
  static KeyMatcher ForChar(int charCode);
  static KeyMatcher ForKeysym(std::uint32_t keysym);

  // Offers one key: `levelIn(state)` is the level that the key reaches in a TypingState by the
  // level-to-modifier map of its type, `keysymAt(level)` the keysym on a level.
  // `mainBlock`: the key is of the main block, or the keymap does not say.
  template <typename LevelIn, typename KeysymAt>
  void OfferKey(int keyCode, const LevelIn& levelIn, const KeysymAt& keysymAt,
                bool mainBlock = true) {
    if (Hopeless()) return;
    const auto plain = levelIn(TypingState::kPlain);
    Offer(keyCode, false, static_cast<std::uint32_t>(keysymAt(plain)), mainBlock);
    for (TypingState state : {TypingState::kShift, TypingState::kLock}) {
      const auto level = levelIn(state);
      if (level != plain)
        Offer(keyCode, true, static_cast<std::uint32_t>(keysymAt(level)), mainBlock);
    }
  }

  // Offers one keysym that a key gives with no modifier (`shifted` false) or with Shift or Lock
  // alone (`shifted` true).
  void Offer(int keyCode, bool shifted, std::uint32_t keysym, bool mainBlock = true) noexcept;

  // Whether an XKB key name (xkeyboard-config's four letters, "AB08") is of the main block:
  // the alphanumeric rows, the grave, backslash and space keys. Not the keypad (KP..), the 102nd
  // key (LSGT) or the extra keys (I..).
  static bool IsMainBlockKeyName(const char* name, std::size_t length) noexcept;

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
  bool bestShifted_ = false;
  bool bestInMainBlock_ = false;
};

}  // namespace platform::linux_keys
