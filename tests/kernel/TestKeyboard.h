#pragma once

#include <cstdint>

namespace zibk {

// A plain uinput keyboard, for proving the uinput path of the guest kernel.
class TestKeyboard {
 public:
  static constexpr std::uint16_t kVendor = 0x1d6b;
  static constexpr std::uint16_t kProduct = 0x0ee1;

  TestKeyboard();
  ~TestKeyboard();
  TestKeyboard(const TestKeyboard&) = delete;
  TestKeyboard& operator=(const TestKeyboard&) = delete;

  // One key event followed by a report boundary.
  void Key(int code, bool down);

 private:
  int fd_ = -1;
};

}  // namespace zibk
