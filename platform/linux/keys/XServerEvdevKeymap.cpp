// The X server's keymap for the uinput keyboard, on an xcb connection of its own.
#include <X11/keysym.h>
#include <linux/input-event-codes.h>
#include <xcb/xcb.h>

#include "platform/KeyPress.h"
#include "platform/linux/keys/EvdevKeymap.h"
#include "platform/linux/keys/KeyMatcher.h"
#include "platform/linux/keys/XServerKeymap.h"
#include "platform/linux/keys/XcbConnect.h"
#include "platform/linux/keys/XcbXkb.h"

#include <optional>

namespace platform::linux_keys {
namespace {

// X servers that read their keyboards through evdev (Xorg, XWayland, Xvfb with the evdev
// rules) number each key as its evdev code + 8, which is what the uinput keyboard writes.
constexpr int kEvdevOffset = 8;

class XServerEvdevKeymap final : public EvdevKeymap {
 public:
  XServerEvdevKeymap(xcb_connection_t* connection, std::string source)
      : connection_(connection), source_(std::move(source)) {}
  ~XServerEvdevKeymap() override { xcb_disconnect(connection_); }
  XServerEvdevKeymap(const XServerEvdevKeymap&) = delete;
  XServerEvdevKeymap& operator=(const XServerEvdevKeymap&) = delete;

  void Update() override {
    keymap_.Update();
    JudgeNumbering();
  }

  int NoticeDescriptor() const override { return keymap_.NoticeDescriptor(); }

  void TakeArrived() override {
    keymap_.TakeArrived();
    JudgeNumbering();
  }

  // The server's keymap has come and numbers its keys some other way than evdev's.
  bool KnownNotEvdev() const { return numbersByEvdev_ == false; }

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

 private:
  // Whether the server's keys are evdev codes + 8, judged by keys that every keymap has where
  // the two numberings differ (the old one has Up at 98, evdev at 111). Unknown while the
  // server's keymap has not come.
  std::optional<bool> NumbersByEvdev() const {
    const struct {
      std::uint32_t keysym;
      int evdevCode;
    } known[] = {{XK_Up, KEY_UP}, {XK_Left, KEY_LEFT}, {XK_Home, KEY_HOME}, {XK_Prior, KEY_PAGEUP}};
    for (const auto& key : known) {
      const int keyCode = keymap_.Find(KeyMatcher::ForKeysym(key.keysym));
      if (keyCode != kNoKeyCode) return keyCode == key.evdevCode + kEvdevOffset;
    }
    return std::nullopt;
  }

  void JudgeNumbering() {
    if (!numbersByEvdev_) numbersByEvdev_ = NumbersByEvdev();
  }
  bool UsesEvdevCodes() const { return numbersByEvdev_.value_or(false); }

  xcb_connection_t* connection_;
  std::string source_;
  // The session reads the uinput keyboard with the core keyboard's keymap as it is when the key
  // comes; in a Wayland session that is the compositor's, which XWayland copies in on a switch.
  XServerKeymap keymap_{connection_};
  std::optional<bool> numbersByEvdev_;
};

}  // namespace

std::unique_ptr<EvdevKeymap> NewXServerEvdevKeymap(const std::string& display, std::string& error) {
  xcb_connection_t* connection = ConnectWithExtensions(display.c_str(), {&xcb_xkb_id}, error);
  if (connection == nullptr) return nullptr;
  const xcb_query_extension_reply_t* xkb = xcb_get_extension_data(connection, &xcb_xkb_id);
  if (xkb == nullptr || xkb->present == 0) {
    error = "the X server on \"" + display + "\" has no XKB extension";
    xcb_disconnect(connection);
    return nullptr;
  }
  auto keymap = std::make_unique<XServerEvdevKeymap>(connection, "the X server on " + display);
  keymap->Update();
  if (keymap->KnownNotEvdev()) {
    error = "the X server on \"" + display + "\" does not number its keys by evdev codes";
    return nullptr;
  }
  return keymap;
}

}  // namespace platform::linux_keys
