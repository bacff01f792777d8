// The X server's keymap for the uinput keyboard. The X headers come last: they define macros
// (None, KeyPress, Bool) that would clash with names in our own headers.
#include "platform/KeyPress.h"
#include "platform/linux/keys/EvdevKeymap.h"
#include "platform/linux/keys/KeyMatcher.h"
#include "platform/linux/keys/XServerKeymap.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <linux/input-event-codes.h>

#include <optional>

namespace platform::linux_keys {
namespace {

// X servers that read their keyboards through evdev (Xorg, XWayland, Xvfb with the evdev
// rules) number each key as its evdev code + 8, which is what the uinput keyboard writes.
constexpr int kEvdevOffset = 8;

class XServerEvdevKeymap final : public EvdevKeymap {
 public:
  XServerEvdevKeymap(Display* display, std::string source)
      : display_(display), source_(std::move(source)) {}
  ~XServerEvdevKeymap() override { XCloseDisplay(display_); }
  XServerEvdevKeymap(const XServerEvdevKeymap&) = delete;
  XServerEvdevKeymap& operator=(const XServerEvdevKeymap&) = delete;

  void Update() override {
    keymap_.Update();
    if (!numbersByEvdev_) numbersByEvdev_ = NumbersByEvdev();
  }

  int NoticeDescriptor() const override {
    xcb_connection_t* connection = keymap_.Connection();
    return xcb_connection_has_error(connection) == 0 ? xcb_get_file_descriptor(connection) : -1;
  }

  void TakeArrived() override {
    keymap_.TakeArrived();
    if (!numbersByEvdev_) numbersByEvdev_ = NumbersByEvdev();
  }

  int EvdevCodeFor(int charCode, int maxCode) override {
    if (!UsesEvdevCodes()) return -1;
    const int keyCode = keymap_.FindChar(charCode);
    if (keyCode == kNoKeyCode) return -1;
    const int code = keyCode - kEvdevOffset;
    return code >= 1 && code <= maxCode ? code : -1;
  }

  std::uint32_t KeysymWith(int evdevCode, const ModifierKeys& modifiers) const override {
    if (!UsesEvdevCodes() || evdevCode < 1) return 0;
    return keymap_.KeysymWith(evdevCode + kEvdevOffset, modifiers);
  }

  const std::string& Source() const override { return source_; }

  // Whether the server's keys are evdev codes + 8, judged by keys that every keymap has where
  // the two numberings differ (the old one has Up at 98, evdev at 111). Unknown while the
  // server's keymap has not come.
  std::optional<bool> NumbersByEvdev() const {
    const struct {
      KeySym keysym;
      int evdevCode;
    } known[] = {{XK_Up, KEY_UP}, {XK_Left, KEY_LEFT}, {XK_Home, KEY_HOME}, {XK_Prior, KEY_PAGEUP}};
    for (const auto& key : known) {
      const int keyCode =
          keymap_.Find(KeyMatcher::ForKeysym(static_cast<std::uint32_t>(key.keysym)));
      if (keyCode != kNoKeyCode) return keyCode == key.evdevCode + kEvdevOffset;
    }
    return std::nullopt;
  }

 private:
  bool UsesEvdevCodes() const { return numbersByEvdev_.value_or(false); }

  Display* display_;
  std::string source_;
  // The session reads the uinput keyboard with the core keyboard's keymap as it is when the key
  // comes; in a Wayland session that is the compositor's, which XWayland copies in on a switch.
  XServerKeymap keymap_{display_};
  std::optional<bool> numbersByEvdev_;
};

}  // namespace

std::unique_ptr<EvdevKeymap> NewXServerEvdevKeymap(const std::string& display, std::string& error) {
  Display* connection = XOpenDisplay(display.c_str());
  if (connection == nullptr) {
    error = "cannot open the X display \"" + display + "\"";
    return nullptr;
  }
  int opcode = 0, eventBase = 0, errorBase = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
  if (!XkbQueryExtension(connection, &opcode, &eventBase, &errorBase, &major, &minor)) {
    error = "the X server on \"" + display + "\" has no XKB extension";
    XCloseDisplay(connection);
    return nullptr;
  }
  auto keymap = std::make_unique<XServerEvdevKeymap>(connection, "the X server on " + display);
  keymap->Update();
  if (keymap->NumbersByEvdev() == false) {
    error = "the X server on \"" + display + "\" does not number its keys by evdev codes";
    return nullptr;
  }
  return keymap;
}

}  // namespace platform::linux_keys
