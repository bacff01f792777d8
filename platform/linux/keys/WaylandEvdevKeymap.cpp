// The Wayland compositor's keymap for the uinput keyboard, from the seat's wl_keyboard.
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstring>

#include "platform/linux/keys/EvdevKeymap.h"
#include "platform/linux/keys/XkbKeymap.h"

namespace platform::linux_keys {
namespace {

using Clock = std::chrono::steady_clock;

// The newest versions whose events the listeners below all handle.
constexpr std::uint32_t kSeatVersion = 5;

class WaylandEvdevKeymap final : public EvdevKeymap {
 public:
  WaylandEvdevKeymap(wl_display* display, std::string source)
      : display_(display), source_(std::move(source)) {}
  ~WaylandEvdevKeymap() override {
    if (keyboard_ != nullptr) wl_keyboard_destroy(keyboard_);
    if (seat_ != nullptr) wl_seat_destroy(seat_);
    if (registry_ != nullptr) wl_registry_destroy(registry_);
    wl_display_disconnect(display_);
  }
  WaylandEvdevKeymap(const WaylandEvdevKeymap&) = delete;
  WaylandEvdevKeymap& operator=(const WaylandEvdevKeymap&) = delete;

  // Asks for the seat's keyboard and waits, until the deadline at most, for its keymap.
  bool Start(Clock::time_point deadline, std::string& error) {
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &kRegistryListener, this);
    // The globals, then the seat's capabilities, then the keyboard's keymap: each comes before
    // the answer to a sync made after the request that asks for it.
    for (int round = 0; round < 3 && keymap_ == nullptr; ++round)
      if (!Roundtrip(deadline)) {
        error = source_ + " did not answer in time";
        return false;
      }
    if (keymap_ != nullptr) return true;
    error = seat_ == nullptr       ? source_ + " has no seat"
            : keyboard_ == nullptr ? source_ + "'s seat has no keyboard"
            : keymapError_.empty() ? source_ + " sent no keymap"
                                   : keymapError_;
    return false;
  }

  void Update() override {
    if (broken_) return;
    // Only what has already arrived is read: the compositor may never send anything again.
    while (wl_display_prepare_read(display_) != 0) wl_display_dispatch_pending(display_);
    wl_display_flush(display_);
    pollfd readable{wl_display_get_fd(display_), POLLIN, 0};
    if (::poll(&readable, 1, 0) > 0)
      wl_display_read_events(display_);
    else
      wl_display_cancel_read(display_);
    // A compositor gone away leaves the last keymap it sent in force.
    if (wl_display_dispatch_pending(display_) < 0) broken_ = true;
  }

  int NoticeDescriptor() const override { return broken_ ? -1 : wl_display_get_fd(display_); }

  int EvdevCodeFor(int charCode, int maxCode) override {
    return keymap_->EvdevCodeFor(charCode, maxCode);
  }
  std::uint32_t KeysymWith(int evdevCode, const ModifierKeys& modifiers) const override {
    return keymap_->KeysymWith(evdevCode, modifiers);
  }
  const std::string& Source() const override { return source_; }

 private:
  // A sync round trip that waits until the deadline at most. False when the time ran out or
  // the connection failed.
  bool Roundtrip(Clock::time_point deadline) {
    bool done = false;
    wl_callback* callback = wl_display_sync(display_);
    wl_callback_add_listener(callback, &kSyncListener, &done);
    while (!done) {
      while (wl_display_prepare_read(display_) != 0) wl_display_dispatch_pending(display_);
      wl_display_flush(display_);
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      pollfd readable{wl_display_get_fd(display_), POLLIN, 0};
      if (left <= 0 || ::poll(&readable, 1, static_cast<int>(left)) <= 0) {
        wl_display_cancel_read(display_);
        break;
      }
      if (wl_display_read_events(display_) < 0 || wl_display_dispatch_pending(display_) < 0) break;
    }
    if (!done) wl_callback_destroy(callback);  // done destroyed it
    return done;
  }

  void OnGlobal(wl_registry* registry, std::uint32_t name, const char* interface,
                std::uint32_t version) {
    if (seat_ != nullptr || std::strcmp(interface, wl_seat_interface.name) != 0) return;
    seat_ = static_cast<wl_seat*>(
        wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, kSeatVersion)));
    wl_seat_add_listener(seat_, &kSeatListener, this);
  }

  void OnCapabilities(std::uint32_t capabilities) {
    if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) == 0 || keyboard_ != nullptr) return;
    keyboard_ = wl_seat_get_keyboard(seat_);
    wl_keyboard_add_listener(keyboard_, &kKeyboardListener, this);
  }

  void OnKeymap(std::uint32_t format, int fd, std::uint32_t size) {
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
      // Private: from version 7 on the compositor may hand out a read-only shared mapping.
      void* text = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
      if (text != MAP_FAILED) {
        const auto* chars = static_cast<const char*>(text);
        std::string error;
        auto keymap =
            XkbKeymap::FromText(std::string(chars, ::strnlen(chars, size)), source_, error);
        ::munmap(text, size);
        if (keymap != nullptr) {
          keymap->SetLayout(layout_);
          keymap_ = std::move(keymap);
        } else {
          keymapError_ = error;
        }
      }
    }
    ::close(fd);
  }

  void OnModifiers(std::uint32_t group) {
    layout_ = group;
    if (keymap_ != nullptr) keymap_->SetLayout(group);
  }

  static constexpr wl_callback_listener kSyncListener{
      [](void* done, wl_callback* callback, std::uint32_t) {
        *static_cast<bool*>(done) = true;
        wl_callback_destroy(callback);
      }};
  static constexpr wl_registry_listener kRegistryListener{
      [](void* self, wl_registry* registry, std::uint32_t name, const char* interface,
         std::uint32_t version) {
        static_cast<WaylandEvdevKeymap*>(self)->OnGlobal(registry, name, interface, version);
      },
      [](void*, wl_registry*, std::uint32_t) {}};
  static constexpr wl_seat_listener kSeatListener{
      [](void* self, wl_seat*, std::uint32_t capabilities) {
        static_cast<WaylandEvdevKeymap*>(self)->OnCapabilities(capabilities);
      },
      [](void*, wl_seat*, const char*) {}};
  static constexpr wl_keyboard_listener kKeyboardListener{
      [](void* self, wl_keyboard*, std::uint32_t format, int fd, std::uint32_t size) {
        static_cast<WaylandEvdevKeymap*>(self)->OnKeymap(format, fd, size);
      },
      [](void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {},
      [](void*, wl_keyboard*, std::uint32_t, wl_surface*) {},
      [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {},
      [](void* self, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
         std::uint32_t group) { static_cast<WaylandEvdevKeymap*>(self)->OnModifiers(group); },
      [](void*, wl_keyboard*, std::int32_t, std::int32_t) {}};

  wl_display* display_;
  std::string source_;
  wl_registry* registry_ = nullptr;
  wl_seat* seat_ = nullptr;
  wl_keyboard* keyboard_ = nullptr;
  std::unique_ptr<XkbKeymap> keymap_;
  std::string keymapError_;
  std::uint32_t layout_ = 0;
  bool broken_ = false;
};

}  // namespace

std::unique_ptr<EvdevKeymap> NewWaylandEvdevKeymap(const std::string& display,
                                                   std::chrono::milliseconds timeout,
                                                   std::string& error) {
  const auto deadline = Clock::now() + timeout;
  wl_display* connection = wl_display_connect(display.c_str());
  if (connection == nullptr) {
    error = "cannot connect to the Wayland display \"" + display + "\"";
    return nullptr;
  }
  auto keymap = std::make_unique<WaylandEvdevKeymap>(
      connection, "the Wayland compositor on \"" + display + "\"");
  if (!keymap->Start(deadline, error)) return nullptr;
  return keymap;
}

}  // namespace platform::linux_keys
