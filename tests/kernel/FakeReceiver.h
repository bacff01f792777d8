#pragma once

#include <cstdint>
#include <string>

namespace zibk {

// A remote button as the receiver's firmware numbers it in its reports.
enum class IrButton : std::uint8_t {
  Menu = 0x02,
  Play = 0x04,
  Right = 0x07,
  Left = 0x08,
  Plus = 0x0b,
  Minus = 0x0d,
};

// The infrared receiver, played through /dev/uhid: the kernel sees a USB HID device with the
// receiver's ids, so the real hid-appleir driver binds to it and turns the raw reports sent here
// into evdev key events, as it does for the hardware.
class FakeReceiver {
 public:
  explicit FakeReceiver(std::uint32_t product);
  ~FakeReceiver();
  FakeReceiver(const FakeReceiver&) = delete;
  FakeReceiver& operator=(const FakeReceiver&) = delete;

  // Plugs the receiver in (creates the HID device) or pulls it out (destroys it).
  void Plug();
  void Unplug();
  bool Plugged() const noexcept { return plugged_; }

  // The first frame of a button press: the driver reports the key down.
  void SendPress(IrButton button);
  // The aluminium remote's centre button: a two-frame message.
  void SendCentrePress();
  // The frame the remote repeats while a button stays down: the driver keeps the key down.
  void SendRepeat(IrButton button);

  // Answers the requests the kernel sends to the device, so that none of them waits for a
  // timeout. Called by the sends; harmless to call at any time.
  void Service();

  std::uint32_t Product() const noexcept { return product_; }

 private:
  void SendReport(std::uint8_t id, std::uint8_t status, std::uint8_t code);

  int fd_ = -1;
  std::uint32_t product_;
  bool plugged_ = false;
};

}  // namespace zibk
