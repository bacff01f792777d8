#pragma once

#include <memory>

namespace platform {

// The key code that AsciiToKeyCode gives for a character that no key types. Press with it
// presses nothing.
inline constexpr int kNoKeyCode = -1;

// Key codes of the current keyboard layout.
class KeyCodesMBS {
 public:
  // The key code of the key that types the character with that code (a Unicode code point;
  // 8, 9, 10, 13, 27 and 127 are BackSpace, Tab, Return, Return, Escape and Delete), or
  // kNoKeyCode.
  int AsciiToKeyCode(int ascii);
};

// One synthetic key press with modifiers, delivered to the application that has the focus.
class PresskeyMBS {
 public:
  int Charcode = 0;
  int Keycode = kNoKeyCode;
  bool Command = false;  // the Super key on Linux
  bool Control = false;
  bool Option = false;  // the Alt key on Linux
  bool Shift = false;

  // Holds the modifiers whose fields are True, presses and releases the key, releases the
  // modifiers in reverse order. Leaves no key down on any path.
  void Press();
};

// What a key backend does for the two classes above.
struct KeyStroke {
  int charCode = 0;
  int keyCode = kNoKeyCode;
  bool command = false, control = false, option = false, shift = false;
  bool operator==(const KeyStroke&) const = default;
};

class KeyOutput {
 public:
  virtual ~KeyOutput() = default;
  virtual int KeyCodeFor(int charCode) = 0;
  virtual void Press(const KeyStroke& stroke) = 0;

  // The descriptor on which the output hears from the display server (a layout switch's notice,
  // the keymap it then asked for), or -1 for none or a connection that broke. The main loop
  // watches it and calls TakeArrived whenever it is readable, so that a press finds the news
  // already in hand: one made while another client holds the server could not fetch it.
  virtual int NoticeDescriptor() const { return -1; }
  // Takes whatever has arrived on NoticeDescriptor and never waits for more.
  virtual void TakeArrived() {}
};

// Keys where no backend can press any: no character has a key, so nothing is ever pressed.
class NoKeyOutput final : public KeyOutput {
 public:
  int KeyCodeFor(int charCode) override;
  void Press(const KeyStroke& stroke) override;
};

}  // namespace platform
