// Key delivery for real: a virtual X server of the test's own, an X client window with the
// focus, and the XTest key output pressing keys into it.
#include <gtest/gtest.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <future>
#include <set>
#include <vector>

#include "platform/KeyPress.h"
#include "platform/linux/Backends.h"
#include "platform/linux/keys/KeyOutputs.h"
#include "tests/keys/xsession/FocusedWindow.h"
#include "tests/keys/xsession/XvfbServer.h"

using platform::KeyStroke;
using platform::kNoKeyCode;
using zib_testing::FocusedWindow;
using zib_testing::SeenKey;
using zib_testing::XvfbServer;

namespace {

constexpr std::chrono::milliseconds kEventWait{2000};
// Long enough for a stray event to arrive from the same machine; nothing should.
constexpr std::chrono::milliseconds kQuietWait{150};

class XTestDelivery : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    server_ = XvfbServer::Start(error);
    if (!server_) GTEST_SKIP() << error;
    window_ = FocusedWindow::Open(server_->Display(), error);
    ASSERT_TRUE(window_) << error;
    output_ = platform::linux_keys::NewXTestKeyOutput(server_->Display().c_str(), error);
    ASSERT_TRUE(output_) << error;
  }

  // Loads a keymap of these layouts into the server, as a user's layout switch does. False, and
  // the test skipped, without setxkbmap.
  bool SetLayout(const std::string& layouts) {
    const std::string setxkbmap = zib_testing::FindProgram("setxkbmap");
    if (setxkbmap.empty()) return false;
    std::string command;
    EXPECT_TRUE(zib_testing::SetLayouts(setxkbmap, server_->Display(), layouts, command))
        << command;
    return true;
  }

  std::vector<SeenKey> Receive(size_t count) {
    std::vector<SeenKey> keys;
    while (keys.size() < count) {
      auto key = window_->NextKey(kEventWait);
      if (!key) break;
      keys.push_back(*key);
    }
    return keys;
  }

  std::unique_ptr<XvfbServer> server_;
  std::unique_ptr<FocusedWindow> window_;
  std::unique_ptr<platform::KeyOutput> output_;
};

// The user, as another client: keys held through XTest (as an on-screen keyboard holds them) or
// on the server's own keyboard device (as a real keyboard would), Caps Lock, and what the server
// says of its keyboard.
class User {
 public:
  explicit User(const std::string& display) : display_(XOpenDisplay(display.c_str())) {
    int devices = 0;
    XDeviceInfo* info = XListInputDevices(display_, &devices);
    for (int i = 0; i < devices; ++i)
      if (std::strcmp(info[i].name, "Xvfb keyboard") == 0)
        keyboard_ = XOpenDevice(display_, info[i].id);
    XFreeDeviceList(info);
  }
  ~User() {
    for (auto [code, onKeyboard] : held_) Key(code, onKeyboard, false);
    XkbLockModifiers(display_, XkbUseCoreKbd, LockMask, 0);
    XSync(display_, False);
    if (keyboard_ != nullptr) XCloseDevice(display_, keyboard_);
    XCloseDisplay(display_);
  }
  User(const User&) = delete;
  User& operator=(const User&) = delete;

  bool HasKeyboard() const { return keyboard_ != nullptr; }
  unsigned CodeOf(KeySym keysym) { return XKeysymToKeycode(display_, keysym); }
  void Hold(KeySym keysym, bool onKeyboard) {
    held_.emplace_back(CodeOf(keysym), onKeyboard);
    Key(held_.back().first, onKeyboard, true);
  }
  void CapsLock(bool on) {
    XkbLockModifiers(display_, XkbUseCoreKbd, LockMask, on ? LockMask : 0);
    XSync(display_, False);
  }
  std::set<unsigned> KeysDown() {
    char keys[32] = {};
    XQueryKeymap(display_, keys);
    std::set<unsigned> down;
    for (unsigned code = 0; code < 256; ++code)
      if ((keys[code / 8] >> (code % 8)) & 1) down.insert(code);
    return down;
  }
  unsigned LockedModifiers() {
    XkbStateRec state{};
    XkbGetState(display_, XkbUseCoreKbd, &state);
    return state.locked_mods;
  }
  std::set<unsigned> HeldCodes() const {
    std::set<unsigned> codes;
    for (auto [code, onKeyboard] : held_) codes.insert(code);
    return codes;
  }

 private:
  void Key(unsigned code, bool onKeyboard, bool down) {
    if (onKeyboard)
      XTestFakeDeviceKeyEvent(display_, keyboard_, code, down, nullptr, 0, CurrentTime);
    else
      XTestFakeKeyEvent(display_, code, down, CurrentTime);
    XSync(display_, False);
  }

  Display* display_;
  XDevice* keyboard_ = nullptr;
  std::vector<std::pair<unsigned, bool>> held_;
};

struct Row {
  const char* name;
  int charCode;
  bool command, control, option, shift;
  std::uint32_t baseKeysym;  // the key that must be pressed, by its first level
  std::uint32_t seenKeysym;  // what the focused client makes of it
};

TEST_F(XTestDelivery, FocusedClientSeesExactlyTheKeyAndModifiersOfEachRow) {
  const std::uint32_t super = window_->MaskOf(XK_Super_L), control = window_->MaskOf(XK_Control_L),
                      alt = window_->MaskOf(XK_Alt_L), shift = window_->MaskOf(XK_Shift_L);
  ASSERT_TRUE(super && control && alt && shift);

  const Row rows[] = {
      // The modifiers come from the row alone: "P" without SHIFT is the P key unshifted.
      {"P with CMD", 'P', true, false, false, false, XK_p, XK_p},
      {"p with SHIFT", 'p', false, false, false, true, XK_p, XK_P},
      {"1", '1', false, false, false, false, XK_1, XK_1},
      {"space", ' ', false, false, false, false, XK_space, XK_space},
      {"Tab", 9, false, false, false, false, XK_Tab, XK_Tab},
      {"CR", 13, false, false, false, false, XK_Return, XK_Return},
      {"LF", 10, false, false, false, false, XK_Return, XK_Return},
      {"BackSpace", 8, false, false, false, false, XK_BackSpace, XK_BackSpace},
      {"Escape", 27, false, false, false, false, XK_Escape, XK_Escape},
      {"Delete", 127, false, false, false, false, XK_Delete, XK_Delete},
      {"a with all four", 'a', true, true, true, true, XK_a, XK_A},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const int code = output_->KeyCodeFor(row.charCode);
    ASSERT_EQ(code, static_cast<int>(window_->KeyCodeOf(row.baseKeysym)));
    output_->Press({row.charCode, code, row.command, row.control, row.option, row.shift});

    std::vector<std::uint32_t> modifiers;
    if (row.command) modifiers.push_back(XK_Super_L);
    if (row.control) modifiers.push_back(XK_Control_L);
    if (row.option) modifiers.push_back(XK_Alt_L);
    if (row.shift) modifiers.push_back(XK_Shift_L);
    const unsigned state = (row.command ? super : 0) | (row.control ? control : 0) |
                           (row.option ? alt : 0) | (row.shift ? shift : 0);

    const auto keys = Receive(2 * modifiers.size() + 2);
    ASSERT_EQ(keys.size(), 2 * modifiers.size() + 2);
    for (size_t i = 0; i < modifiers.size(); ++i) {
      EXPECT_TRUE(keys[i].press);
      EXPECT_EQ(keys[i].baseKeysym, modifiers[i]) << "modifier " << i << " down";
      const SeenKey& up = keys[keys.size() - 1 - i];
      EXPECT_FALSE(up.press);
      EXPECT_EQ(up.baseKeysym, modifiers[i]) << "modifier " << i << " up, in reverse";
    }
    const SeenKey& down = keys[modifiers.size()];
    const SeenKey& up = keys[modifiers.size() + 1];
    EXPECT_TRUE(down.press);
    EXPECT_EQ(down.keyCode, static_cast<unsigned>(code));
    EXPECT_EQ(down.state, state);
    EXPECT_EQ(down.keysym, row.seenKeysym);
    EXPECT_FALSE(up.press);
    EXPECT_EQ(up.keyCode, static_cast<unsigned>(code));
  }
  EXPECT_FALSE(window_->NextKey(kQuietWait)) << "an event beyond the rows' own";
  EXPECT_FALSE(window_->AnyKeyDown());
}

// What the user holds or has locked does not change the row's key, and is there again after it.
TEST_F(XTestDelivery, UserStateIsLiftedForTheRowsKeyAndRestoredAfterIt) {
  const struct {
    const char* name;
    const char* layout;
    std::vector<KeySym> held;
    bool onKeyboard;  // held on the server's keyboard device rather than through XTest
    bool capsLock;
    int charCode;
    bool shift;  // the row's SHIFT
    std::uint32_t seen;
  } rows[] = {
      {"Caps Lock", "us", {}, false, true, 'p', false, XK_p},
      {"Caps Lock, row with SHIFT", "us", {}, false, true, 'p', true, XK_P},
      {"Shift held", "us", {XK_Shift_L}, false, false, 'p', false, XK_p},
      {"Shift held, row 1", "us", {XK_Shift_L}, false, false, '1', false, XK_1},
      {"Shift held, row with SHIFT", "us", {XK_Shift_L}, false, false, 'p', true, XK_P},
      {"Control held", "us", {XK_Control_L}, false, false, 'p', false, XK_p},
      {"Shift and Control held, Caps Lock",
       "us",
       {XK_Shift_L, XK_Control_L},
       false,
       true,
       '1',
       false,
       XK_1},
      {"AltGr held, q", "de", {XK_ISO_Level3_Shift}, false, false, 'q', false, XK_q},
      {"AltGr held, p", "de", {XK_ISO_Level3_Shift}, false, false, 'p', false, XK_p},
      {"AltGr held, ö", "de", {XK_ISO_Level3_Shift}, false, false, 0xf6, false, XK_odiaeresis},
      {"Shift held on a keyboard", "us", {XK_Shift_L}, true, false, 'p', false, XK_p},
      {"Shift held on a keyboard, row with SHIFT",
       "us",
       {XK_Shift_L},
       true,
       false,
       'p',
       true,
       XK_P},
      {"AltGr held on a keyboard, q", "de", {XK_ISO_Level3_Shift}, true, false, 'q', false, XK_q},
  };
  std::string layout = "us";
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    if (layout != row.layout) {
      if (!SetLayout(row.layout)) GTEST_SKIP() << zib_testing::kNoSetxkbmap;
      layout = row.layout;
    }
    {
      User user(server_->Display());
      if (row.onKeyboard && !user.HasKeyboard()) GTEST_SKIP() << "Xvfb has no keyboard device";
      for (KeySym keysym : row.held) user.Hold(keysym, row.onKeyboard);
      user.CapsLock(row.capsLock);
      Receive(row.held.size());  // the user's own presses

      const int code = output_->KeyCodeFor(row.charCode);
      ASSERT_NE(code, kNoKeyCode);
      output_->Press({row.charCode, code, false, false, false, row.shift});
      std::vector<SeenKey> keys;
      while (auto key = window_->NextKey(kQuietWait)) keys.push_back(*key);
      const SeenKey* down = nullptr;
      for (const SeenKey& key : keys)
        if (key.press && key.keyCode == static_cast<unsigned>(code)) down = &key;
      ASSERT_TRUE(down) << "the row's key never came";
      EXPECT_EQ(down->keysym, row.seen) << std::hex << down->keysym;
      // Caps Lock stays on for a key whose level it does not change ("1").
      EXPECT_EQ(down->state & ~static_cast<unsigned>(LockMask),
                row.shift ? static_cast<unsigned>(ShiftMask) : 0u)
          << "the modifiers of the row alone";
      if (row.shift && !row.held.empty()) {
        EXPECT_EQ(keys.size(), 2u) << "the Shift the user holds went up or down";
      }

      EXPECT_EQ(user.KeysDown(), user.HeldCodes()) << "the user's keys, and no others, are down";
      EXPECT_EQ(user.LockedModifiers(), row.capsLock ? static_cast<unsigned>(LockMask) : 0u);
    }
    while (window_->NextKey(kQuietWait)) {
    }
    EXPECT_FALSE(window_->AnyKeyDown());
  }
}

// Another client holds the server, as screen lockers do: the press returns at once, with the
// keymap it had, and the key comes when the grab ends.
TEST_F(XTestDelivery, GrabbedServerDelaysTheKeyButNeverThePress) {
  if (!SetLayout("de")) GTEST_SKIP() << zib_testing::kNoSetxkbmap;  // told, but not yet fetched
  Display* grabber = XOpenDisplay(server_->Display().c_str());
  ASSERT_TRUE(grabber);
  XGrabServer(grabber);
  XSync(grabber, False);

  const auto start = std::chrono::steady_clock::now();
  const int code = output_->KeyCodeFor('x');
  output_->Press({'x', code, false, false, false, true});
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::milliseconds(50));
  EXPECT_FALSE(window_->NextKey(std::chrono::milliseconds(300))) << "a key came during the grab";

  XUngrabServer(grabber);
  XCloseDisplay(grabber);
  const auto keys = Receive(4);
  ASSERT_EQ(keys.size(), 4u);
  EXPECT_EQ(keys[1].keysym, XK_X);

  // The keymap has come meanwhile: z is where the German layout has it.
  const int z = output_->KeyCodeFor('z');
  EXPECT_EQ(z, static_cast<int>(window_->KeyCodeOf(XK_z)));
  output_->Press({'z', z, false, false, false, false});
  const auto key = window_->NextKey(kEventWait);
  ASSERT_TRUE(key);
  EXPECT_EQ(key->keysym, XK_z);
}

// The main loop watches the output's descriptor: the switch's notice, and the keymap asked for
// after it, are taken as they come, so a grab that starts after them cannot keep the old keymap
// in use.
TEST_F(XTestDelivery, KeymapTakenBetweenPressesServesAPressDuringAGrab) {
  if (!SetLayout("de")) GTEST_SKIP() << zib_testing::kNoSetxkbmap;
  const int descriptor = output_->NoticeDescriptor();
  ASSERT_GE(descriptor, 0);
  // Readable until the keymap is in; then nothing more comes.
  const auto deadline = std::chrono::steady_clock::now() + kEventWait;
  pollfd readable{descriptor, POLLIN, 0};
  while (std::chrono::steady_clock::now() < deadline && ::poll(&readable, 1, 200) > 0)
    output_->TakeArrived();

  Display* grabber = XOpenDisplay(server_->Display().c_str());
  ASSERT_TRUE(grabber);
  XGrabServer(grabber);
  XSync(grabber, False);
  const auto start = std::chrono::steady_clock::now();
  output_->TakeArrived();  // nothing to take, and the server answers nobody: no wait either
  const int z = output_->KeyCodeFor('z');
  output_->Press({'z', z, false, false, false, false});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
  XUngrabServer(grabber);
  XCloseDisplay(grabber);

  const auto key = window_->NextKey(kEventWait);
  ASSERT_TRUE(key);
  EXPECT_EQ(key->keysym, XK_z) << "typed with the keymap from before the switch";
  EXPECT_EQ(z, static_cast<int>(window_->KeyCodeOf(XK_z)));
}

// Where a keypad or extra key types the character too, the main block's key is pressed.
TEST_F(XTestDelivery, OrdinaryCharactersComeFromTheMainBlock) {
  const struct {
    int charCode;
    std::uint32_t baseKeysym;
  } rows[] = {{'(', XK_9}, {'<', XK_comma}, {'*', XK_8}, {'+', XK_equal}, {'/', XK_slash}};
  for (const auto& row : rows) {
    SCOPED_TRACE(static_cast<char>(row.charCode));
    EXPECT_EQ(output_->KeyCodeFor(row.charCode),
              static_cast<int>(window_->KeyCodeOf(row.baseKeysym)));
  }
}

TEST_F(XTestDelivery, CharacterThatNoKeyTypesPressesNothing) {
  const int smiley = 0x263a;
  EXPECT_EQ(output_->KeyCodeFor(smiley), kNoKeyCode);
  EXPECT_EQ(output_->KeyCodeFor(2), kNoKeyCode);  // a control character without a key
  // Whatever code arrives, nothing goes down: not the key, and not the modifiers either.
  for (int code : {kNoKeyCode, 0, 3, 256, 100000}) {
    SCOPED_TRACE(code);
    output_->Press({smiley, code, true, true, true, true});
    EXPECT_FALSE(window_->NextKey(kQuietWait));
  }
  EXPECT_FALSE(window_->AnyKeyDown());
}

// The layout is switched between rows, and the next press already follows it. A key's level
// comes from the modifiers its own type looks at: Control and Option beside Shift change nothing.
TEST_F(XTestDelivery, OnEachLayoutOnlyCharactersTypedWithoutAltGrAndNeverADeadKey) {
  const unsigned control = window_->MaskOf(XK_Control_L), alt = window_->MaskOf(XK_Alt_L);
  ASSERT_TRUE(control && alt);
  const struct {
    const char* layout;
    int charCode;
    bool control, option, shift;
    std::uint32_t seen;  // what the focused client gets, 0 for nothing pressed at all
  } rows[] = {
      {"us", '@', false, false, true, XK_at},
      {"us", 'z', false, false, false, XK_z},
      {"de", '@', false, false, false, 0},     // AltGr+Q
      {"de", 0x20ac, false, false, false, 0},  // € is AltGr+E
      {"de", '~', false, false, false, 0},     // AltGr++
      {"de", '|', false, false, false, 0},     // AltGr+<
      {"de", 0xdf, false, false, false, XK_ssharp},
      {"de", 'z', false, false, false, XK_z},
      {"de", 0xb0, false, false, false, 0},  // ° is Shift+^, and ^ alone is a dead key
      {"de", 0xb0, false, false, true, XK_degree},
      {"de", 0xb0, true, false, true, XK_degree},
      {"de", 0xb0, false, true, true, XK_degree},
      {"de", '*', true, true, true, XK_asterisk},
      {"de", 0xf6, true, true, false, XK_odiaeresis},
      {"fr", '@', false, false, false, 0},  // AltGr+à
      {"fr", 0xe9, false, false, false, XK_eacute},
      {"fr", 0xe9, true, false, false, XK_eacute},
      {"us", 'z', false, false, false, XK_z},
  };
  std::string layout;
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.layout) + " " + std::to_string(row.charCode) +
                 (row.control ? " CTRL" : "") + (row.option ? " OPT" : "") +
                 (row.shift ? " SHIFT" : ""));
    if (layout != row.layout) {
      if (!SetLayout(row.layout)) GTEST_SKIP() << zib_testing::kNoSetxkbmap;
      layout = row.layout;
    }
    const int code = output_->KeyCodeFor(row.charCode);
    output_->Press({row.charCode, code, false, row.control, row.option, row.shift});
    if (row.seen == 0) {
      EXPECT_FALSE(window_->NextKey(kQuietWait)) << "a key was pressed";
    } else {
      const size_t modifiers = size_t{row.control} + size_t{row.option} + size_t{row.shift};
      const auto keys = Receive(2 * modifiers + 2);
      ASSERT_EQ(keys.size(), 2 * modifiers + 2);
      const SeenKey& down = keys[modifiers];
      EXPECT_TRUE(down.press);
      EXPECT_EQ(down.keyCode, static_cast<unsigned>(code));
      EXPECT_EQ(down.keysym, row.seen) << std::hex << down.keysym;
      EXPECT_EQ(down.state, (row.control ? control : 0) | (row.option ? alt : 0) |
                                (row.shift ? static_cast<unsigned>(ShiftMask) : 0));
    }
    EXPECT_FALSE(window_->AnyKeyDown());
  }
}

// The keymap is kept between presses and refreshed only from the server's notices, so a press
// is sent while the server answers nothing at all.
TEST_F(XTestDelivery, PressWaitsForNoAnswerFromTheServer) {
  const int x = output_->KeyCodeFor('x');
  output_->Press({'x', x, false, false, false, false});
  ASSERT_EQ(Receive(2).size(), 2u);

  server_->Pause();
  auto pressed = std::async(std::launch::async, [&] {
    const int y = output_->KeyCodeFor('y');
    output_->Press({'y', y, false, false, false, true});
  });
  const bool returned = pressed.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
  server_->Resume();
  EXPECT_TRUE(returned) << "the press waited for the server";
  pressed.wait();

  const auto keys = Receive(4);
  ASSERT_EQ(keys.size(), 4u);
  EXPECT_EQ(keys[1].keysym, XK_Y);
  EXPECT_FALSE(window_->AnyKeyDown());
}

TEST_F(XTestDelivery, KeyCodesFollowTheServersCurrentKeymap) {
  Display* display = window_->Connection();
  const KeyCode qKey = XKeysymToKeycode(display, XK_q);
  ASSERT_EQ(output_->KeyCodeFor('z'), static_cast<int>(XKeysymToKeycode(display, XK_z)));
  // Another client remaps the Q key to type "z", as a layout switch would.
  KeySym zOnQ[] = {XK_z, XK_Z};
  XChangeKeyboardMapping(display, qKey, 2, zOnQ, 1);
  KeySym qOnZ[] = {XK_q, XK_Q};
  XChangeKeyboardMapping(display, XKeysymToKeycode(display, XK_z), 2, qOnZ, 1);
  XSync(display, False);

  const int code = output_->KeyCodeFor('z');
  EXPECT_EQ(code, static_cast<int>(qKey));
  output_->Press({'z', code, false, false, false, false});
  const auto key = window_->NextKey(kEventWait);
  ASSERT_TRUE(key);
  EXPECT_EQ(key->keyCode, qKey);
  EXPECT_EQ(key->keysym, XK_z);
}

TEST_F(XTestDelivery, ModifierMissingFromTheKeymapIsLeftOut) {
  Display* display = window_->Connection();
  // Every key that gives Super_L on some level (evdev keymaps have a second, hidden one).
  int minCode = 0, maxCode = 0, perCode = 0;
  XDisplayKeycodes(display, &minCode, &maxCode);
  KeySym* map =
      XGetKeyboardMapping(display, static_cast<KeyCode>(minCode), maxCode - minCode + 1, &perCode);
  std::vector<KeySym> nothing(static_cast<size_t>(perCode), NoSymbol);
  for (int code = minCode; code <= maxCode; ++code)
    for (int i = 0; i < perCode; ++i)
      if (map[(code - minCode) * perCode + i] == XK_Super_L)
        XChangeKeyboardMapping(display, code, perCode, nothing.data(), 1);
  XFree(map);
  XSync(display, False);

  const int code = output_->KeyCodeFor('x');
  output_->Press({'x', code, true, false, false, true});
  const auto keys = Receive(4);
  ASSERT_EQ(keys.size(), 4u);
  EXPECT_EQ(keys[0].baseKeysym, XK_Shift_L);
  EXPECT_EQ(keys[1].keysym, XK_X);
  EXPECT_EQ(keys[3].baseKeysym, XK_Shift_L);
  EXPECT_FALSE(keys[3].press);
  EXPECT_FALSE(window_->NextKey(kQuietWait));
  EXPECT_FALSE(window_->AnyKeyDown());
}

TEST_F(XTestDelivery, KeyCodesFollowTheActiveLayoutGroup) {
  if (!SetLayout("us,ru")) GTEST_SKIP() << zib_testing::kNoSetxkbmap;
  Display* display = window_->Connection();
  const int aKey = static_cast<int>(XKeysymToKeycode(display, XK_a));

  XkbLockGroup(display, XkbUseCoreKbd, 1);
  XSync(display, False);
  EXPECT_EQ(output_->KeyCodeFor('a'), kNoKeyCode) << "no key types a Latin a in the second group";
  const int ef = output_->KeyCodeFor(0x444);
  EXPECT_EQ(ef, aKey);
  output_->Press({0x444, ef, false, false, false, false});
  const auto key = window_->NextKey(kEventWait);
  ASSERT_TRUE(key);
  EXPECT_EQ(key->keysym, XK_Cyrillic_ef);

  XkbLockGroup(display, XkbUseCoreKbd, 0);
  XSync(display, False);
  EXPECT_EQ(output_->KeyCodeFor('a'), aKey);
  EXPECT_EQ(output_->KeyCodeFor(0x444), kNoKeyCode);
}

TEST_F(XTestDelivery, SystemOutputUsesXTestWhenThereIsADisplay) {
  ::setenv("DISPLAY", server_->Display().c_str(), 1);
  ::unsetenv("WAYLAND_DISPLAY");
  auto output = platform::linux_backends::NewSystemKeyOutput();
  ASSERT_TRUE(output);
  const int code = output->KeyCodeFor('x');
  EXPECT_EQ(code, static_cast<int>(window_->KeyCodeOf(XK_x)));
  output->Press({'x', code, false, false, false, false});
  const auto key = window_->NextKey(kEventWait);
  ASSERT_TRUE(key);
  EXPECT_EQ(key->keysym, XK_x);
}

TEST(SystemKeyOutput, WithoutDisplayOrUinputPressesNothingAndSaysSoOnce) {
  if (::access("/dev/uinput", W_OK) == 0)
    GTEST_SKIP() << "/dev/uinput is writable here, so the uinput keyboard would be chosen";
  ::unsetenv("DISPLAY");
  ::unsetenv("WAYLAND_DISPLAY");
  testing::internal::CaptureStderr();
  auto first = platform::linux_backends::NewSystemKeyOutput();
  auto second = platform::linux_backends::NewSystemKeyOutput();
  const std::string said = testing::internal::GetCapturedStderr();
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->KeyCodeFor('a'), kNoKeyCode);
  first->Press({'a', 38, true, false, false, false});  // must not crash whatever the code

  const auto at = said.find("press no keys");
  ASSERT_NE(at, std::string::npos) << said;
  EXPECT_EQ(said.find("press no keys", at + 1), std::string::npos) << "said more than once";
  EXPECT_NE(said.find("/dev/uinput"), std::string::npos) << said;
}

}  // namespace
