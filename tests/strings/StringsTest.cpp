#include <gtest/gtest.h>

#include "platform/Strings.h"

using platform::Asc;
using platform::Str;
using platform::StringEquals;

TEST(StringEquals, AsciiLettersMatchInAnyCaseOtherBytesExactly) {
  struct Case {
    const char* a;
    const char* b;
    bool equal;
  } cases[] = {
      {"true", "true", true},   {"True", "true", true}, {"TRUE", "true", true},
      {"true ", "true", false}, {"", "", true},         {"1", "01", false},
      {"14", "14", true},       {"Key1", "KEY1", true}, {"\xC3\xA9", "\xC3\x89", false},
  };
  for (const auto& c : cases) EXPECT_EQ(StringEquals(c.a, c.b), c.equal) << c.a << " vs " << c.b;
}

TEST(Str, DecimalTextWithoutPaddingOrSign) {
  EXPECT_EQ(Str(0), "0");
  EXPECT_EQ(Str(14), "14");
  EXPECT_EQ(Str(-1), "-1");
  EXPECT_EQ(Str(10), "10");
}

TEST(Asc, FirstCharacterCode) {
  EXPECT_EQ(Asc(""), 0);
  EXPECT_EQ(Asc("P"), 80);
  EXPECT_EQ(Asc("abc"), 97);
  EXPECT_EQ(Asc("\xC3\xA9t\xC3\xA9"), 0xE9);    // é as a code point
  EXPECT_EQ(Asc("\xE2\x82\xAC"), 0x20AC);       // €
  EXPECT_EQ(Asc("\xF0\x9F\x98\x80"), 0x1F600);  // an emoji
  EXPECT_EQ(Asc("\xE9t"), 0xE9);                // Latin-1 byte: the byte itself
  EXPECT_EQ(Asc("\xC3"), 0xC3);                 // cut sequence
  EXPECT_EQ(Asc("\xC0\xAF"), 0xC0);             // overlong form
  EXPECT_EQ(Asc("\xED\xA0\x80"), 0xED);         // surrogate
}
