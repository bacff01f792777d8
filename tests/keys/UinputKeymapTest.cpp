#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <unistd.h>

#include "platform/KeyPress.h"
#include "platform/linux/keys/KeyOutputs.h"
#include "platform/linux/keys/XkbKeymap.h"
#include "platform/linux/keys/uinput/UinputKeyboard.h"

using platform::linux_keys::KeyboardConfig;
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
      {'a', KEY_A},         {'P', KEY_P},     {'p', KEY_P},
      {'1', KEY_1},         {'!', KEY_1},     {' ', KEY_SPACE},
      {9, KEY_TAB},         {13, KEY_ENTER},  {10, KEY_ENTER},
      {8, KEY_BACKSPACE},   {27, KEY_ESC},    {127, KEY_DELETE},
      {':', KEY_SEMICOLON}, {'/', KEY_SLASH}, {0x263a, -1},
      {0xe9, -1},           {2, -1},
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

TEST(UinputKeyboard, SaysWhyWhenTheDeviceCannotBeOpened) {
  std::string error;
  UinputKeyboard::Options options;
  options.devicePath = "/nonexistent/uinput";
  EXPECT_FALSE(UinputKeyboard::Create(options, error));
  EXPECT_NE(error.find("/nonexistent/uinput"), std::string::npos) << error;

  error.clear();
  EXPECT_FALSE(platform::linux_keys::NewUinputKeyOutput(options, "/nonexistent/keyboard", error));
  EXPECT_NE(error.find("/nonexistent/uinput"), std::string::npos) << error;
}
