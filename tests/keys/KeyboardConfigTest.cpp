#include <gtest/gtest.h>

#include "platform/linux/keys/KeyboardConfig.h"

using platform::linux_keys::KeyboardConfig;
using platform::linux_keys::ParseKeyboardConfig;
using platform::linux_keys::ReadKeyboardConfig;

namespace {

std::string Fixture(const char* name) { return std::string(ZIB_KEYS_FIXTURES "/") + name; }

void ExpectConfig(const KeyboardConfig& c, const char* model, const char* layout,
                  const char* variant, const char* options) {
  EXPECT_EQ(c.model, model);
  EXPECT_EQ(c.layout, layout);
  EXPECT_EQ(c.variant, variant);
  EXPECT_EQ(c.options, options);
}

}  // namespace

TEST(KeyboardConfig, ReadsTheSystemFileFormat) {
  ExpectConfig(ReadKeyboardConfig(Fixture("keyboard-de")), "pc105", "de", "nodeadkeys",
               "compose:ralt");
}

TEST(KeyboardConfig, MissingFileOrLayoutMeansUs) {
  ExpectConfig(ReadKeyboardConfig(Fixture("no-such-file")), "pc105", "us", "", "");
  // A variant without a layout would name a variant of nothing.
  ExpectConfig(ParseKeyboardConfig("XKBLAYOUT=\"\"\nXKBVARIANT=\"dvorak\"\n"), "pc105", "us", "",
               "");
  ExpectConfig(ParseKeyboardConfig(""), "pc105", "us", "", "");
}

TEST(KeyboardConfig, ShellQuotingCommentsAndSpacing) {
  ExpectConfig(ParseKeyboardConfig("  XKBLAYOUT=fr # French\n"
                                   "XKBVARIANT='azerty'\n"
                                   "#XKBMODEL=\"macintosh\"\n"
                                   "export XKBOPTIONS=\"grp:alt_shift_toggle,ctrl:nocaps\"\r\n"
                                   "XKBMODEL=\n"),
               "pc105", "fr", "azerty", "grp:alt_shift_toggle,ctrl:nocaps");
  ExpectConfig(ParseKeyboardConfig("XKBLAYOUT=\"us,ru\"\nXKBMODEL=\"pc104\"\nXKBLAYOUTX=de\n"),
               "pc104", "us,ru", "", "");
}
