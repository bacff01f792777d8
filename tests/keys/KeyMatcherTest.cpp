#include <gtest/gtest.h>

#include "platform/linux/keys/KeyMatcher.h"

using platform::linux_keys::KeyMatcher;
using platform::linux_keys::KeysymForChar;
using platform::linux_keys::StartsComposing;

TEST(KeysymForChar, ControlLatin1AndUnicode) {
  const struct {
    int charCode;
    std::uint32_t keysym;
  } cases[] = {
      {8, 0xff08},
      {9, 0xff09},
      {10, 0xff0d},
      {13, 0xff0d},
      {27, 0xff1b},
      {127, 0xffff},
      {'P', 'P'},
      {' ', ' '},
      {'~', '~'},
      {0xe9, 0xe9},
      {0xa0, 0xa0},
      {0x20ac, 0x010020ac},
      {0x263a, 0x0100263a},
      {0x1f600, 0x0101f600},
      {0, 0},
      {1, 0},
      {31, 0},
      {0x85, 0},
      {0xd800, 0},
      {0xfffe, 0},
      {0x110000, 0},
      {-1, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(KeysymForChar(c.charCode), c.keysym) << c.charCode;
}

TEST(KeyMatcher, PlainKeyWinsOverShiftedThenLowestKeyCode) {
  KeyMatcher one = KeyMatcher::ForChar('1');
  one.Offer(87, false, 0xffb1);  // KP_1 types "1" too, but is not the key meant
  one.Offer(20, true, '1');      // "1" with Shift on some key
  one.Offer(12, false, '1');
  one.Offer(10, false, '1');
  EXPECT_EQ(one.KeyCode(), 10);

  KeyMatcher capitalP = KeyMatcher::ForChar('P');
  capitalP.Offer(33, false, 'p');
  capitalP.Offer(33, true, 'P');
  EXPECT_EQ(capitalP.KeyCode(), 33);
}

TEST(KeyMatcher, MainBlockKeyWinsOverAKeypadOrExtraKeyThatTypesItPlain) {
  KeyMatcher parenthesis = KeyMatcher::ForChar('(');
  parenthesis.Offer(187, false, '(', false);  // a keypad parenthesis key of its own
  parenthesis.Offer(18, true, '(');           // Shift+9
  EXPECT_EQ(parenthesis.KeyCode(), 18);
  KeyMatcher less = KeyMatcher::ForChar('<');
  less.Offer(94, false, '<', false);  // the 102nd key, the only one on some layouts
  EXPECT_EQ(less.KeyCode(), 94);
  less.Offer(59, true, '<');  // Shift+comma
  EXPECT_EQ(less.KeyCode(), 59);

  for (const char* name : {"AE09", "AB08", "AC01", "AD12", "TLDE", "BKSL", "SPCE", "AB11"})
    EXPECT_TRUE(KeyMatcher::IsMainBlockKeyName(name, 4)) << name;
  for (const char* name : {"LSGT", "KPLP", "KPMU", "I187", "RTRN", "AE", "AF01", "A101", ""})
    EXPECT_FALSE(KeyMatcher::IsMainBlockKeyName(name, 4)) << name;
}

// Where the keymap does not say which keys are of the main block, a keypad keysym still never
// types its character: "*" and "+" are Shift+8 and the equals key on us, not the keypad's keys.
TEST(KeyMatcher, KeypadKeysymsTypeNothingEvenWhereTheBlockIsUnknown) {
  const struct {
    int charCode;
    int keypadCode;
    std::uint32_t keypadKeysym;
    int mainCode;
  } cases[] = {{'*', 55, 0xffaa /* KP_Multiply */, 9},
               {'+', 78, 0xffab /* KP_Add */, 13},
               {'1', 79, 0xffb1 /* KP_1 */, 2}};
  for (const auto& c : cases) {
    KeyMatcher matcher = KeyMatcher::ForChar(c.charCode);
    matcher.Offer(c.keypadCode, false, c.keypadKeysym);
    EXPECT_FALSE(matcher.Found()) << static_cast<char>(c.charCode);
    matcher.Offer(c.mainCode, c.charCode != '1', static_cast<std::uint32_t>(c.charCode));
    EXPECT_EQ(matcher.KeyCode(), c.mainCode) << static_cast<char>(c.charCode);
  }
}

TEST(KeyMatcher, OnlyLevelsReachedWithNoModifierOrShiftOrLockAloneAreOffered) {
  using platform::linux_keys::TypingState;
  // A key of four levels whose third needs AltGr: a German Q key ("q", "Q", "@").
  const std::uint32_t keysyms[] = {'q', 'Q', '@', 0};
  auto levelIn = [](TypingState state) { return state == TypingState::kPlain ? 0 : 1; };
  auto keysymAt = [&](int level) { return keysyms[level]; };
  for (int c : {'q', 'Q'}) {
    KeyMatcher matcher = KeyMatcher::ForChar(c);
    matcher.OfferKey(24, levelIn, keysymAt);
    EXPECT_EQ(matcher.KeyCode(), 24) << static_cast<char>(c);
  }
  KeyMatcher at = KeyMatcher::ForChar('@');
  at.OfferKey(24, levelIn, keysymAt);
  EXPECT_FALSE(at.Found());
}

TEST(KeyMatcher, ControlCharactersMatchTheirFunctionKeyOnly) {
  KeyMatcher enter = KeyMatcher::ForChar(10);
  enter.Offer(104, false, 0xff8d);  // KP_Enter
  EXPECT_FALSE(enter.Found());
  enter.Offer(36, false, 0xff0d);
  EXPECT_EQ(enter.KeyCode(), 36);
}

TEST(KeyMatcher, OlderKeysymsCountByTheCharacterTheyType) {
  KeyMatcher euro = KeyMatcher::ForChar(0x20ac);
  euro.Offer(26, false, 0x20ac);  // EuroSign
  EXPECT_EQ(euro.KeyCode(), 26);
  KeyMatcher cyrillicA = KeyMatcher::ForChar(0x430);
  cyrillicA.Offer(41, false, 0x6c1);  // Cyrillic_a
  EXPECT_EQ(cyrillicA.KeyCode(), 41);
}

TEST(KeyMatcher, NothingMatchesWithoutAKeysym) {
  KeyMatcher none = KeyMatcher::ForChar(2);
  EXPECT_TRUE(none.Hopeless());
  none.Offer(10, false, 0);
  EXPECT_FALSE(none.Found());
  EXPECT_EQ(none.KeyCode(), -1);
}

TEST(StartsComposing, DeadKeysAndComposeOnly) {
  for (std::uint32_t keysym :
       {0xfe50u /* dead_grave */, 0xfe52u /* dead_circumflex */, 0xfe8cu /* dead_greek */,
        0xfe93u /* the last dead key */, 0xff20u /* Multi_key */})
    EXPECT_TRUE(StartsComposing(keysym)) << std::hex << keysym;
  for (std::uint32_t keysym : {0u, 0x5eu /* asciicircum */, 0xb0u /* degree */, 0xfe4fu, 0xfe94u,
                               0xfe03u /* ISO_Level3_Shift */, 0xff0du /* Return */})
    EXPECT_FALSE(StartsComposing(keysym)) << std::hex << keysym;
}
