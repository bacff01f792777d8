#include "tests/kernel/DecoyDevice.h"

#include <fcntl.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace zibk {

DecoyDevice::DecoyDevice(const std::string& name, std::uint16_t vendor, std::uint16_t product) {
  fd_ = open("/dev/uinput", O_WRONLY | O_CLOEXEC);
  if (fd_ < 0) throw std::runtime_error(std::string("open /dev/uinput: ") + std::strerror(errno));
  ioctl(fd_, UI_SET_EVBIT, EV_KEY);
  ioctl(fd_, UI_SET_EVBIT, EV_REP);
  for (const int code :
       {KEY_MENU, KEY_PLAYPAUSE, KEY_FORWARD, KEY_BACK, KEY_VOLUMEUP, KEY_VOLUMEDOWN, KEY_ENTER}) {
    ioctl(fd_, UI_SET_KEYBIT, code);
  }
  uinput_setup setup{};
  setup.id.bustype = BUS_USB;
  setup.id.vendor = vendor;
  setup.id.product = product;
  std::strncpy(setup.name, name.c_str(), sizeof setup.name - 1);
  if (ioctl(fd_, UI_DEV_SETUP, &setup) < 0 || ioctl(fd_, UI_DEV_CREATE) < 0) {
    const int error = errno;
    close(fd_);
    throw std::runtime_error(std::string("creating a uinput device: ") + std::strerror(error));
  }
}

DecoyDevice::~DecoyDevice() {
  ioctl(fd_, UI_DEV_DESTROY);
  close(fd_);
}

}  // namespace zibk
