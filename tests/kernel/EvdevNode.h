#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zibk {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::milliseconds;

// One key event as an evdev reader sees it, with the kernel's time stamp (on Clock).
struct KeyEvent {
  int code = 0;
  int value = 0;  // 1 down, 0 up, 2 autorepeat
  Clock::time_point at;
};

// The /dev/input/event* node whose device has these ids, waiting up to `timeout` for it to come.
std::optional<std::string> WaitForNode(std::uint16_t vendor, std::uint16_t product, Millis timeout);
// Waits until no node has these ids any more.
bool WaitForNoNode(std::uint16_t vendor, std::uint16_t product, Millis timeout);

// An open evdev node, read without blocking.
class EvdevReader {
 public:
  explicit EvdevReader(const std::string& path);
  ~EvdevReader();
  EvdevReader(const EvdevReader&) = delete;
  EvdevReader& operator=(const EvdevReader&) = delete;

  int Fd() const noexcept { return fd_; }
  std::string Name() const;
  bool HasKey(int code) const;
  // The keys the device holds down right now (EVIOCGKEY).
  std::vector<int> KeysDown() const;
  // EVIOCGRAB; false when another reader holds the grab.
  bool Grab(bool on);

  // The key events that are waiting now.
  std::vector<KeyEvent> Drain();
  // The key events that arrive within `window`.
  std::vector<KeyEvent> ReadFor(Millis window);
  // The key events up to and including the first release, waiting at most `timeout`.
  std::vector<KeyEvent> ReadUntilRelease(Millis timeout);
  // True when the device has gone (read gave ENODEV).
  bool Gone() const noexcept { return gone_; }

 private:
  bool ReadOne(Millis timeout, KeyEvent& out);

  int fd_ = -1;
  bool gone_ = false;
};

// "KEY_MENU down, KEY_MENU up" for messages.
std::string Describe(const std::vector<KeyEvent>& events);

}  // namespace zibk
