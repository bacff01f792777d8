#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <map>

#include "platform/KeyPress.h"
#include "platform/linux/keys/KeyMatcher.h"
#include "platform/linux/keys/KeyOutputs.h"
#include "platform/linux/keys/XkbKeymap.h"
#include "platform/linux/keys/uinput/UinputKeyboard.h"

using platform::linux_keys::KeyboardConfig;
using platform::linux_keys::ModifierKeys;
using platform::linux_keys::StartsComposing;
using platform::linux_keys::UinputKeyboard;
using platform::linux_keys::XkbKeymap;

namespace {

constexpr int kMax = UinputKeyboard::kMaxKeyCode;

std::unique_ptr<XkbKeymap> Compile(const char* layout, const char* variant = "") {
  std::string error;
  auto keymap = XkbKeymap::Compile(KeyboardConfig{"pc105", layout, variant, ""}, error);
  EXPECT_TRUE(keymap) << error;
  return keymap;
}

bool HaveKeymapData() { return ::access("/usr/share/X11/xkb/symbols/us", R_OK) == 0; }

}  // namespace

TEST(XkbKeymap, UsLayoutGivesTheEvdevCodeOfTheTypingKey) {
  if (!HaveKeymapData()) GTEST_SKIP() << "no keymap data in /usr/share/X11/xkb (xkb-data)";
  auto us = Compile("us");
  ASSERT_TRUE(us);
  const struct {
    int charCode;
    int code;
  } cases[] = {
      {'a', KEY_A},
      {'P', KEY_P},
      {'p', KEY_P},
      {'1', KEY_1},
      {'!', KEY_1},
      {' ', KEY_SPACE},
      {9, KEY_TAB},
      {13, KEY_ENTER},
      {10, KEY_ENTER},
      {8, KEY_BACKSPACE},
      {27, KEY_ESC},
      {127, KEY_DELETE},
      {':', KEY_SEMICOLON},
      {'/', KEY_SLASH},
      {0x263a, -1},
      {0xe9, -1},
      {2, -1},
      // The main block before the keypad and the 102nd key, which type these too.
      {'(', KEY_9},
      {'<', KEY_COMMA},
      {'*', KEY_8},
      {'+', KEY_EQUAL},
  };
  for (const auto& c : cases) EXPECT_EQ(us->EvdevCodeFor(c.charCode, kMax), c.code) << c.charCode;
}

TEST(XkbKeymap, FollowsTheConfiguredLayout) {
  if (!HaveKeymapData()) GTEST_SKIP() << "no keymap data in /usr/share/X11/xkb (xkb-data)";
  auto de = Compile("de", "nodeadkeys");
  ASSERT_TRUE(de);
  EXPECT_EQ(de->EvdevCodeFor('z', kMax), KEY_Y);
  EXPECT_EQ(de->EvdevCodeFor('y', kMax), KEY_Z);
  EXPECT_EQ(de->EvdevCodeFor(0xe4, kMax), KEY_APOSTROPHE);  // ä
  auto ru = Compile("ru");
  ASSERT_TRUE(ru);
  EXPECT_EQ(ru->EvdevCodeFor(0x444, kMax), KEY_A);  // ф, named Cyrillic_ef in the layout

  std::string error;
  EXPECT_FALSE(XkbKeymap::Compile(KeyboardConfig{"pc105", "no-such-layout", "", ""}, error));
  EXPECT_NE(error.find("no-such-layout"), std::string::npos) << error;
}

// What the uinput output does with a row on each layout: the key it presses and what that key
// gives with the row's modifiers; nothing where no key types the character without AltGr and
// the like, or where the key would give a dead key.
TEST(XkbKeymap, TypesOnlyWithoutAltGrAndNeverADeadKey) {
  if (!HaveKeymapData()) GTEST_SKIP() << "no keymap data in /usr/share/X11/xkb (xkb-data)";
  const struct {
    const char* layout;
    int charCode;
    bool shift;
    int code;             // the key found for the character, -1 for none
    std::uint32_t typed;  // what the press gives, 0 when nothing is pressed
  } rows[] = {
      {"us", '@', true, KEY_2, XKB_KEY_at},
      {"us", '@', false, KEY_2, XKB_KEY_2},  // the modifiers come from the row alone
      {"us", 'z', false, KEY_Z, XKB_KEY_z},
      {"de", '@', false, -1, 0},     // AltGr+Q
      {"de", 0x20ac, false, -1, 0},  // € is AltGr+E
      {"de", '~', false, -1, 0},     // AltGr++
      {"de", '|', false, -1, 0},     // AltGr+<
      {"de", 0xdf, false, KEY_MINUS, XKB_KEY_ssharp},
      {"de", 'z', false, KEY_Y, XKB_KEY_z},
      {"de", 0xb0, false, KEY_GRAVE, 0},  // ° is Shift+^, and ^ alone is dead
      {"de", 0xb0, true, KEY_GRAVE, XKB_KEY_degree},
      {"fr", '@', false, -1, 0},  // AltGr+à
      {"fr", 0xe9, false, KEY_2, XKB_KEY_eacute},
  };
  std::map<std::string, std::unique_ptr<XkbKeymap>> keymaps;
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.layout) + " " + std::to_string(row.charCode) +
                 (row.shift ? " with SHIFT" : ""));
    auto& keymap = keymaps[row.layout];
    if (!keymap) keymap = Compile(row.layout);
    ASSERT_TRUE(keymap);
    const int code = keymap->EvdevCodeFor(row.charCode, kMax);
    EXPECT_EQ(code, row.code);
    if (code < 0) continue;
    const std::uint32_t gives = keymap->KeysymWith(code, ModifierKeys{.shift = row.shift});
    EXPECT_EQ(StartsComposing(gives) ? 0 : gives, row.typed) << std::hex << gives;
  }
}

// Two layouts: the active one decides the key and what it gives, dead keys included; an index
// past the last layout wraps, as the session's does.
TEST(XkbKeymap, TheActiveLayoutDecides) {
  if (!HaveKeymapData()) GTEST_SKIP() << "no keymap data in /usr/share/X11/xkb (xkb-data)";
  auto usDe = Compile("us,de");
  ASSERT_TRUE(usDe);
  const struct {
    std::uint32_t layout;
    int z, minus;
    bool equalKeyIsDead;  // the dead acute of de
  } cases[] = {
      {0, KEY_Z, KEY_MINUS, false}, {1, KEY_Y, KEY_SLASH, true}, {2, KEY_Z, KEY_MINUS, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE("layout " + std::to_string(c.layout));
    usDe->SetLayout(c.layout);
    EXPECT_EQ(usDe->EvdevCodeFor('z', kMax), c.z);
    EXPECT_EQ(usDe->EvdevCodeFor('-', kMax), c.minus);
    EXPECT_EQ(StartsComposing(usDe->KeysymWith(KEY_EQUAL, {})), c.equalKeyIsDead);
    EXPECT_EQ(usDe->KeysymWith(c.z, {.shift = true}), XKB_KEY_Z);
  }
}

// Option is pressed as the left Alt key, which changes no level. On de and fr the right Alt is
// AltGr: Option rows would come out as dead keys or other characters.
TEST(XkbKeymap, OptionAndControlLeaveTheRowsCharacterAsItIs) {
  if (!HaveKeymapData()) GTEST_SKIP() << "no keymap data in /usr/share/X11/xkb (xkb-data)";
  const struct {
    const char* layout;
    int charCode;
    ModifierKeys modifiers;  // as the uinput keyboard presses them
    std::uint32_t keysym;
  } rows[] = {
      {"de", 'q', {.alt = true}, XKB_KEY_q},
      {"de", 'j', {.alt = true}, XKB_KEY_j},
      {"de", 0xfc, {.alt = true}, XKB_KEY_udiaeresis},
      {"de", 0xf6, {.alt = true}, XKB_KEY_odiaeresis},
      {"de", 0xe4, {.alt = true}, XKB_KEY_adiaeresis},
      {"de", ',', {.alt = true}, XKB_KEY_comma},
      {"de", '*', {.alt = true, .shift = true}, XKB_KEY_asterisk},
      {"de", 0xb0, {.alt = true, .shift = true}, XKB_KEY_degree},
      {"de", 0xb0, {.ctrl = true, .shift = true}, XKB_KEY_degree},
      {"de", 'q', {.meta = true, .ctrl = true, .alt = true}, XKB_KEY_q},
      {"fr", 'q', {.alt = true}, XKB_KEY_q},
      {"fr", 0xf9, {.alt = true}, XKB_KEY_ugrave},
      {"fr", '*', {.alt = true}, XKB_KEY_asterisk},
      {"fr", ',', {.alt = true}, XKB_KEY_comma},
      {"fr", '!', {.alt = true}, XKB_KEY_exclam},
  };
  std::map<std::string, std::unique_ptr<XkbKeymap>> keymaps;
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.layout) + " " + std::to_string(row.charCode));
    auto& keymap = keymaps[row.layout];
    if (!keymap) keymap = Compile(row.layout);
    ASSERT_TRUE(keymap);
    const int code = keymap->EvdevCodeFor(row.charCode, kMax);
    ASSERT_GT(code, 0);
    EXPECT_EQ(keymap->KeysymWith(code, row.modifiers), row.keysym)
        << std::hex << keymap->KeysymWith(code, row.modifiers);
  }
}

TEST(XkbKeymap, ModifierKeysSetWhatTheKeymapMakesOfThem) {
  if (!HaveKeymapData()) GTEST_SKIP() << "no keymap data in /usr/share/X11/xkb (xkb-data)";
  auto us = Compile("us");
  ASSERT_TRUE(us);
  EXPECT_EQ(us->KeysymWith(KEY_A, {}), XKB_KEY_a);
  EXPECT_EQ(us->KeysymWith(KEY_A, {.meta = true, .ctrl = true, .alt = true}), XKB_KEY_a);
  EXPECT_EQ(us->KeysymWith(KEY_A, {.shift = true}), XKB_KEY_A);
  EXPECT_EQ(us->KeysymWith(KEY_LEFTSHIFT, {.shift = true}), XKB_KEY_Shift_L);
  EXPECT_EQ(us->KeysymWith(0, {}), 0u);
  EXPECT_EQ(us->KeysymWith(-1, {}), 0u);
}

TEST(UinputKeyboard, SaysWhyWhenTheDeviceCannotBeOpened) {
  std::string error;
  UinputKeyboard::Options options;
  options.devicePath = "/nonexistent/uinput";
  EXPECT_FALSE(UinputKeyboard::Create(options, error));
  EXPECT_NE(error.find("/nonexistent/uinput"), std::string::npos) << error;

  error.clear();
  platform::linux_keys::KeymapPlaces places;
  places.keyboardConfigPath = "/nonexistent/keyboard";
  EXPECT_FALSE(platform::linux_keys::NewUinputKeyOutput(options, places, error));
  EXPECT_NE(error.find("/nonexistent/uinput"), std::string::npos) << error;
}
