#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/keys/uinput/ModifierKeys.h"

// A virtual keyboard through the kernel's uinput device. Plain Linux, no X, no Qt and no other
// library, so that a statically linked test program can use it as the application does.
namespace platform::linux_keys {

class UinputKeyboard {
 public:
  // Key codes the keyboard announces and types: KEY_ESC up to this (the keyboard range, below the
  // BTN_* codes, so that no one takes the device for a mouse or a joystick).
  static constexpr int kMaxKeyCode = 255;

  struct Options {
    std::string devicePath = "/dev/uinput";
    std::string name = "ZibRemote virtual keyboard";
    // The kernel drops nothing, but readers (the X server, the compositor, udev) open a new
    // device only some time after it appears, and what is written before that is lost to them.
    // Taps in this time after creation are held back and written once it has passed.
    std::chrono::milliseconds settle{300};
  };

  // Creates the device. Returns null and says why in `error` when the device cannot be opened
  // or created.
  static std::unique_ptr<UinputKeyboard> Create(const Options& options, std::string& error);

  ~UinputKeyboard();  // removes the device
  UinputKeyboard(const UinputKeyboard&) = delete;
  UinputKeyboard& operator=(const UinputKeyboard&) = delete;

  // One complete key press: the chosen modifiers down, the key down and up, the modifiers up in
  // reverse order. False when the code is outside 1..kMaxKeyCode (nothing is written) or a write
  // failed; after a failed write it still tries to release every key it pressed.
  //
  // Tap never waits. Before the keyboard has settled the press is held back, and a thread of the
  // keyboard's own writes it, in order with any other held back, once the settle time is over;
  // Tap then returns True at once and a failed write goes unreported. Destroying the keyboard
  // writes what is still held back without waiting further.
  bool Tap(int keyCode, ModifierKeys modifiers);

  // The kernel's name of the device ("input12"), empty when the kernel does not tell it.
  const std::string& SysName() const noexcept { return sysName_; }

  // The evdev node of the device ("/dev/input/event5"), found through /sys when mounted, else by
  // the device name among /dev/input/event*. Empty while none is found.
  std::string EventNode() const;

 private:
  UinputKeyboard(int fd, std::string name, std::string sysName,
                 std::chrono::steady_clock::time_point readyAt);

  struct HeldTap {
    int keyCode;
    ModifierKeys modifiers;
  };
  bool Write(int keyCode, ModifierKeys modifiers);
  void WriteHeldWhenSettled();

  int fd_;
  std::string name_;
  std::string sysName_;
  std::chrono::steady_clock::time_point readyAt_;

  std::mutex mutex_;
  std::condition_variable stop_;
  std::vector<HeldTap> held_;  // taps not yet written, in order
  bool holding_ = false;       // the writer thread owns the device's writes
  bool stopping_ = false;
  std::thread writer_;
};

}  // namespace platform::linux_keys
