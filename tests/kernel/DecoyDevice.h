#pragma once

#include <cstdint>
#include <string>

namespace zibk {

// An input device made through uinput that looks like a receiver in every way but its ids, so
// that finding the receiver must go by the ids.
class DecoyDevice {
 public:
  DecoyDevice(const std::string& name, std::uint16_t vendor, std::uint16_t product);
  ~DecoyDevice();
  DecoyDevice(const DecoyDevice&) = delete;
  DecoyDevice& operator=(const DecoyDevice&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace zibk
