#include "tests/kernel/TestKeyboard.h"

#include <fcntl.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace zibk {
namespace {

void Emit(int fd, unsigned short type, unsigned short code, int value) {
  input_event ev{};
  ev.type = type;
  ev.code = code;
  ev.value = value;
  if (write(fd, &ev, sizeof ev) != static_cast<ssize_t>(sizeof ev)) {
    throw std::runtime_error(std::string("write /dev/uinput: ") + std::strerror(errno));
  }
}

}  // namespace

TestKeyboard::TestKeyboard() {
  fd_ = open("/dev/uinput", O_WRONLY | O_CLOEXEC);
  if (fd_ < 0) throw std::runtime_error(std::string("open /dev/uinput: ") + std::strerror(errno));
  ioctl(fd_, UI_SET_EVBIT, EV_KEY);
  for (int code = KEY_ESC; code <= KEY_MICMUTE; ++code) ioctl(fd_, UI_SET_KEYBIT, code);
  uinput_setup setup{};
  setup.id.bustype = BUS_VIRTUAL;
  setup.id.vendor = kVendor;
  setup.id.product = kProduct;
  std::strncpy(setup.name, "zibk test keyboard", sizeof setup.name - 1);
  if (ioctl(fd_, UI_DEV_SETUP, &setup) < 0 || ioctl(fd_, UI_DEV_CREATE) < 0) {
    close(fd_);
    throw std::runtime_error(std::string("creating a uinput keyboard: ") + std::strerror(errno));
  }
}

TestKeyboard::~TestKeyboard() {
  ioctl(fd_, UI_DEV_DESTROY);
  close(fd_);
}

void TestKeyboard::Key(int code, bool down) {
  Emit(fd_, EV_KEY, static_cast<unsigned short>(code), down ? 1 : 0);
  Emit(fd_, EV_SYN, SYN_REPORT, 0);
}

}  // namespace zibk
