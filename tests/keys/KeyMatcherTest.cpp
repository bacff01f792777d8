#include <gtest/gtest.h>

#include "platform/linux/keys/KeyMatcher.h"

using platform::linux_keys::KeyMatcher;
using platform::linux_keys::KeysymForChar;

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

TEST(KeyMatcher, LowestLevelThenLowestKeyWins) {
  KeyMatcher one = KeyMatcher::ForChar('1');
  one.Offer(87, 1, 0xffb1);  // KP_1 types "1" too, but is not the key meant
  one.Offer(20, 1, '1');     // "1" on a shifted level of some key
  one.Offer(10, 0, '1');
  one.Offer(12, 0, '1');
  EXPECT_EQ(one.KeyCode(), 10);

  KeyMatcher capitalP = KeyMatcher::ForChar('P');
  capitalP.Offer(33, 0, 'p');
  capitalP.Offer(33, 1, 'P');
  EXPECT_EQ(capitalP.KeyCode(), 33);
}

TEST(KeyMatcher, ControlCharactersMatchTheirFunctionKeyOnly) {
  KeyMatcher enter = KeyMatcher::ForChar(10);
  enter.Offer(104, 0, 0xff8d);  // KP_Enter
  EXPECT_FALSE(enter.Found());
  enter.Offer(36, 0, 0xff0d);
  EXPECT_EQ(enter.KeyCode(), 36);
}

TEST(KeyMatcher, OlderKeysymsCountByTheCharacterTheyType) {
  KeyMatcher euro = KeyMatcher::ForChar(0x20ac);
  euro.Offer(26, 2, 0x20ac);  // EuroSign
  EXPECT_EQ(euro.KeyCode(), 26);
  KeyMatcher cyrillicA = KeyMatcher::ForChar(0x430);
  cyrillicA.Offer(41, 0, 0x6c1);  // Cyrillic_a
  EXPECT_EQ(cyrillicA.KeyCode(), 41);
}

TEST(KeyMatcher, NothingMatchesWithoutAKeysym) {
  KeyMatcher none = KeyMatcher::ForChar(2);
  EXPECT_TRUE(none.Hopeless());
  none.Offer(10, 0, 0);
  EXPECT_FALSE(none.Found());
  EXPECT_EQ(none.KeyCode(), -1);
}
