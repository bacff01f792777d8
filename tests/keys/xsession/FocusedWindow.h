#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct _XDisplay;

namespace zib_testing {

// One key event as an X client with the focus receives it.
struct SeenKey {
  bool press = false;
  unsigned keyCode = 0;
  unsigned state = 0;            // modifier mask at the event
  std::uint32_t keysym = 0;      // what the client makes of it with that state
  std::uint32_t baseKeysym = 0;  // the key's first level, for naming it
  std::chrono::steady_clock::time_point when;
};

// A separate X client: its own connection and a mapped window that holds the input focus and
// listens to key presses and releases.
class FocusedWindow {
 public:
  static std::unique_ptr<FocusedWindow> Open(const std::string& display, std::string& error);
  ~FocusedWindow();
  FocusedWindow(const FocusedWindow&) = delete;
  FocusedWindow& operator=(const FocusedWindow&) = delete;

  // The next key event, waiting at most `timeout` (in poll, not spinning).
  std::optional<SeenKey> NextKey(std::chrono::milliseconds timeout);

  // True when the server has any key down (XQueryKeymap).
  bool AnyKeyDown();

  // The key code the server's keymap has for a keysym (0 for none).
  unsigned KeyCodeOf(std::uint32_t keysym);

  // The modifier masks of the four modifier keys in the server's modifier map.
  unsigned MaskOf(std::uint32_t modifierKeysym);

  _XDisplay* Connection() const noexcept { return display_; }

 private:
  FocusedWindow(_XDisplay* display, unsigned long window, int xkbEvent)
      : display_(display), window_(window), xkbEvent_(xkbEvent) {}
  _XDisplay* display_;
  unsigned long window_;
  int xkbEvent_;  // -1 without XKB
};

}  // namespace zib_testing
