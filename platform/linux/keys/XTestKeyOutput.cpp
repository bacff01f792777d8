// XTest key output. The X headers come last: they define macros (None, KeyPress, Bool) that
// would clash with names in our own headers.
#include "platform/linux/keys/KeyMatcher.h"
#include "platform/linux/keys/KeyOutputs.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <array>

namespace platform::linux_keys {
namespace {

// The server's keymap as it is now. Fetched for every call: a keymap or group change then
// counts from the very next press, and a fetch is one round trip to the server.
class ServerKeymap {
 public:
  explicit ServerKeymap(Display* display)
      : xkb_(XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd)) {
    XkbStateRec state{};
    if (XkbGetState(display, XkbUseCoreKbd, &state) == Success) group_ = state.group;
  }
  ~ServerKeymap() {
    if (xkb_ != nullptr) XkbFreeKeyboard(xkb_, 0, True);
  }
  ServerKeymap(const ServerKeymap&) = delete;
  ServerKeymap& operator=(const ServerKeymap&) = delete;

  // Offers every key's levels in the group that the key would use now.
  int Find(KeyMatcher matcher) const {
    if (xkb_ == nullptr || matcher.Hopeless()) return kNoKeyCode;
    for (int key = xkb_->min_key_code; key <= xkb_->max_key_code; ++key) {
      const int groups = XkbKeyNumGroups(xkb_, key);
      if (groups == 0) continue;
      const int group = EffectiveGroup(key, groups);
      const int width = XkbKeyGroupWidth(xkb_, key, group);
      for (int level = 0; level < width; ++level)
        matcher.Offer(key, level,
                      static_cast<std::uint32_t>(XkbKeySymEntry(xkb_, key, level, group)));
    }
    return matcher.Found() ? matcher.KeyCode() : kNoKeyCode;
  }

  bool Has(int keyCode) const {
    return xkb_ != nullptr && keyCode >= xkb_->min_key_code && keyCode <= xkb_->max_key_code;
  }

 private:
  // The group a key uses when the keyboard is in group_, by the key's own rule for groups it
  // does not have (wrap unless it says otherwise), as the server does.
  int EffectiveGroup(int key, int groups) const {
    if (group_ < groups) return group_;
    const unsigned info = XkbKeyGroupInfo(xkb_, key);
    switch (XkbOutOfRangeGroupAction(info)) {
      case XkbClampIntoRange:
        return groups - 1;
      case XkbRedirectIntoRange: {
        const int target = static_cast<int>(XkbOutOfRangeGroupNumber(info));
        return target < groups ? target : 0;
      }
      default:
        return group_ % groups;
    }
  }

  XkbDescPtr xkb_;
  int group_ = 0;
};

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
    DiscardEvents();
    return ServerKeymap(display_).Find(KeyMatcher::ForChar(charCode));
  }

  void Press(const KeyStroke& stroke) override {
    DiscardEvents();
    const ServerKeymap keymap(display_);
    // An unknown code would make the server answer with an error, which ends an Xlib client.
    if (!keymap.Has(stroke.keyCode)) return;

    struct Modifier {
      bool wanted;
      KeySym keysym;
    };
    const std::array<Modifier, 4> modifiers = {{{stroke.command, XK_Super_L},
                                                {stroke.control, XK_Control_L},
                                                {stroke.option, XK_Alt_L},
                                                {stroke.shift, XK_Shift_L}}};
    HeldKeys held(display_);
    for (const Modifier& m : modifiers) {
      if (!m.wanted) continue;
      const int code = keymap.Find(KeyMatcher::ForKeysym(static_cast<std::uint32_t>(m.keysym)));
      if (code != kNoKeyCode) held.Down(code);  // a layout without that modifier: left out
    }
    XTestFakeKeyEvent(display_, static_cast<unsigned>(stroke.keyCode), True, CurrentTime);
    XTestFakeKeyEvent(display_, static_cast<unsigned>(stroke.keyCode), False, CurrentTime);
  }

 private:
  // The server sends every client keymap change notices. Nothing here waits for events, so read
  // them off to keep them from piling up in the queue.
  void DiscardEvents() {
    while (XPending(display_) > 0) {
      XEvent event;
      XNextEvent(display_, &event);
    }
  }

  Display* display_;
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
