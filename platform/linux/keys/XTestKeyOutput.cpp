// XTest key output. The X headers come last: they define macros (None, KeyPress, Bool) that
// would clash with names in our own headers.
#include "platform/linux/keys/KeyMatcher.h"
#include "platform/linux/keys/KeyOutputs.h"
#include "platform/linux/keys/XServerKeymap.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <array>
#include <utility>

namespace platform::linux_keys {
namespace {

// The keys this press holds. Whatever happens, they come up in reverse order and the whole
// press reaches the server in one flush.
class HeldKeys {
 public:
  explicit HeldKeys(Display* display) noexcept : display_(display) {}
  ~HeldKeys() {
    for (size_t i = count_; i-- > 0;) XTestFakeKeyEvent(display_, keys_[i], False, CurrentTime);
    XFlush(display_);
  }
  HeldKeys(const HeldKeys&) = delete;
  HeldKeys& operator=(const HeldKeys&) = delete;

  void Down(int keyCode) noexcept {
    const auto code = static_cast<unsigned>(keyCode);
    for (size_t i = 0; i < count_; ++i)
      if (keys_[i] == code) return;  // a modifier that shares the key
    if (count_ == keys_.size()) return;
    keys_[count_++] = code;
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
  }

 private:
  Display* display_;
  std::array<unsigned, 5> keys_{};
  size_t count_ = 0;
};

class XTestKeyOutput final : public KeyOutput {
 public:
  explicit XTestKeyOutput(Display* display) : display_(display) {}
  ~XTestKeyOutput() override { XCloseDisplay(display_); }
  XTestKeyOutput(const XTestKeyOutput&) = delete;
  XTestKeyOutput& operator=(const XTestKeyOutput&) = delete;

  int KeyCodeFor(int charCode) override {
    keymap_.Update();
    readForPress_ = true;
    return keymap_.FindChar(charCode);
  }

  void Press(const KeyStroke& stroke) override {
    // A press right after its key code was looked up is judged by the keymap that gave the
    // code; reading the connection again would cost as much as the press itself.
    if (!std::exchange(readForPress_, false)) keymap_.Update();
    // An unknown code would make the server answer with an error, which ends an Xlib client.
    if (!keymap_.Has(stroke.keyCode)) return;
    const ModifierKeys modifiers{stroke.command, stroke.control, stroke.option, stroke.shift};
    // A dead key would stay pending in the focused application and change the user's next key.
    if (StartsComposing(keymap_.KeysymWith(stroke.keyCode, modifiers))) return;

    const bool wanted[] = {modifiers.meta, modifiers.ctrl, modifiers.alt, modifiers.shift};
    HeldKeys held(display_);
    for (size_t i = 0; i < keymap_.ModifierKeyCodes().size(); ++i) {
      const int code = keymap_.ModifierKeyCodes()[i];
      if (wanted[i] && code != kNoKeyCode) held.Down(code);  // a layout without it: left out
    }
    XTestFakeKeyEvent(display_, static_cast<unsigned>(stroke.keyCode), True, CurrentTime);
    XTestFakeKeyEvent(display_, static_cast<unsigned>(stroke.keyCode), False, CurrentTime);
  }

 private:
  Display* display_;
  // Kept between presses; only the server's change notices make it fetch again.
  XServerKeymap keymap_{display_};
  bool readForPress_ = false;  // the notices were read by KeyCodeFor, no press since
};

}  // namespace

std::unique_ptr<KeyOutput> NewXTestKeyOutput(const char* displayName, std::string& error) {
  Display* display = XOpenDisplay(displayName);
  if (display == nullptr) {
    const char* name = displayName != nullptr ? displayName : XDisplayName(nullptr);
    error = std::string("cannot open the X display \"") + (name != nullptr ? name : "") + "\"";
    return nullptr;
  }
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) {
    error = "the X server has no XTEST extension";
    XCloseDisplay(display);
    return nullptr;
  }
  return std::make_unique<XTestKeyOutput>(display);
}

}  // namespace platform::linux_keys
