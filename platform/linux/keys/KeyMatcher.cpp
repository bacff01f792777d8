#include "platform/linux/keys/KeyMatcher.h"

#include <xkbcommon/xkbcommon.h>

#include <cstring>
#include <string_view>
#include <tuple>

namespace platform::linux_keys {
namespace {

constexpr std::uint32_t kBackSpace = 0xff08, kTab = 0xff09, kReturn = 0xff0d, kEscape = 0xff1b,
                        kDelete = 0xffff;

// Keypad keysyms type digits and signs too, but the user's "1" means the digit row's key.
bool IsKeypad(std::uint32_t keysym) { return keysym >= 0xff80 && keysym <= 0xffbd; }

}  // namespace

bool StartsComposing(std::uint32_t keysym) {
  return (keysym >= XKB_KEY_dead_grave && keysym <= XKB_KEY_dead_longsolidusoverlay) ||
         keysym == XKB_KEY_Multi_key;
}

std::uint32_t KeysymForChar(int charCode) {
  switch (charCode) {
    case 8:
      return kBackSpace;
    case 9:
      return kTab;
    case 10:
    case 13:
      return kReturn;
    case 27:
      return kEscape;
    case 127:
      return kDelete;
    default:
      break;
  }
  if (charCode < 0x20 || (charCode >= 0x7f && charCode < 0xa0)) return 0;
  if (charCode <= 0xff) return static_cast<std::uint32_t>(charCode);
  if ((charCode >= 0xd800 && charCode <= 0xdfff) || charCode > 0x10ffff) return 0;
  if ((charCode & 0xfffe) == 0xfffe) return 0;
  return 0x01000000u | static_cast<std::uint32_t>(charCode);
}

KeyMatcher KeyMatcher::ForChar(int charCode) {
  const std::uint32_t keysym = KeysymForChar(charCode);
  // Control characters match their function keysym alone (KP_Enter also "types" CR).
  const bool printable = keysym != 0 && (keysym & 0xff00u) != 0xff00u;
  return KeyMatcher(keysym, printable ? charCode : -1);
}

KeyMatcher KeyMatcher::ForKeysym(std::uint32_t keysym) { return KeyMatcher(keysym, -1); }

bool KeyMatcher::Matches(std::uint32_t keysym) const noexcept {
  if (keysym == 0) return false;
  if (keysym == keysym_) return true;
  // Layouts name many characters by older keysyms (Cyrillic_a, EuroSign): compare what the
  // keysym types.
  return charCode_ >= 0 && !IsKeypad(keysym) &&
         xkb_keysym_to_utf32(keysym) == static_cast<std::uint32_t>(charCode_);
}

void KeyMatcher::Offer(int keyCode, bool shifted, std::uint32_t keysym, bool mainBlock) noexcept {
  if (Hopeless() || !Matches(keysym)) return;
  // Ranked by block, then plain before shifted, then key code.
  const auto rank = [](bool inMainBlock, bool isShifted, int code) {
    return std::tuple(!inMainBlock, isShifted, code);
  };
  if (best_ < 0 ||
      rank(mainBlock, shifted, keyCode) < rank(bestInMainBlock_, bestShifted_, best_)) {
    best_ = keyCode;
    bestShifted_ = shifted;
    bestInMainBlock_ = mainBlock;
  }
}

bool KeyMatcher::IsMainBlockKeyName(const char* name, std::size_t length) noexcept {
  const std::string_view key(name, ::strnlen(name, length));
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (key.size() == 4 && key[0] == 'A' && key[1] >= 'A' && key[1] <= 'E' && digit(key[2]) &&
      digit(key[3]))
    return true;
  return key == "TLDE" || key == "BKSL" || key == "SPCE";
}

}  // namespace platform::linux_keys
