#include "platform/linux/keys/uinput/UinputKeyboard.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/input.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

namespace platform::linux_keys {
namespace {

std::string ErrnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

// Writes all of `events`, going on after signals. False when the kernel refuses.
bool WriteAll(int fd, const input_event* events, size_t count) {
  const char* bytes = reinterpret_cast<const char*>(events);
  size_t left = count * sizeof(input_event);
  while (left > 0) {
    const ssize_t n = ::write(fd, bytes, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

// The events of one press, in order, each key change closed by a report so that readers see
// separate frames.
class EventBatch {
 public:
  void Key(int code, bool down) {
    Add(EV_KEY, code, down ? 1 : 0);
    Add(EV_SYN, SYN_REPORT, 0);
  }
  const input_event* data() const noexcept { return events_.data(); }
  size_t size() const noexcept { return size_; }

 private:
  void Add(int type, int code, int value) {
    input_event& e = events_[size_++];
    e = {};
    e.type = static_cast<__u16>(type);
    e.code = static_cast<__u16>(code);
    e.value = value;
  }
  // Four modifiers and the key, each down and up, each with its report.
  std::array<input_event, 20> events_{};
  size_t size_ = 0;
};

std::string ReadSysName(int fd) {
  char name[64] = {};
  if (::ioctl(fd, UI_GET_SYSNAME(sizeof name - 1), name) < 0) return {};
  return name;
}

std::string EventNodeFromSys(const std::string& sysName) {
  if (sysName.empty()) return {};
  DIR* dir = ::opendir(("/sys/devices/virtual/input/" + sysName).c_str());
  if (dir == nullptr) return {};
  std::string node;
  while (const dirent* entry = ::readdir(dir)) {
    if (std::strncmp(entry->d_name, "event", 5) == 0) {
      node = std::string("/dev/input/") + entry->d_name;
      break;
    }
  }
  ::closedir(dir);
  return node;
}

std::string EventNodeByName(const std::string& name) {
  DIR* dir = ::opendir("/dev/input");
  if (dir == nullptr) return {};
  std::string node;
  while (const dirent* entry = ::readdir(dir)) {
    if (std::strncmp(entry->d_name, "event", 5) != 0) continue;
    const std::string path = std::string("/dev/input/") + entry->d_name;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    char deviceName[256] = {};
    const bool same =
        ::ioctl(fd, EVIOCGNAME(sizeof deviceName - 1), deviceName) >= 0 && name == deviceName;
    ::close(fd);
    if (same) {
      node = path;
      break;
    }
  }
  ::closedir(dir);
  return node;
}

}  // namespace

std::unique_ptr<UinputKeyboard> UinputKeyboard::Create(const Options& options, std::string& error) {
  const int fd = ::open(options.devicePath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = ErrnoText("cannot open " + options.devicePath);
    return nullptr;
  }
  auto fail = [&](const std::string& what) {
    error = ErrnoText(what);
    ::close(fd);
    return nullptr;
  };
  if (::ioctl(fd, UI_SET_EVBIT, EV_KEY) < 0 || ::ioctl(fd, UI_SET_EVBIT, EV_SYN) < 0)
    return fail("cannot set up the virtual keyboard");
  for (int code = 1; code <= kMaxKeyCode; ++code)
    if (::ioctl(fd, UI_SET_KEYBIT, code) < 0) return fail("cannot set up the virtual keyboard");

  uinput_setup setup{};
  setup.id.bustype = BUS_VIRTUAL;
  setup.id.vendor = 0x1;
  setup.id.product = 0x1;
  setup.id.version = 1;
  std::strncpy(setup.name, options.name.c_str(), UINPUT_MAX_NAME_SIZE - 1);
  if (::ioctl(fd, UI_DEV_SETUP, &setup) < 0) return fail("cannot set up the virtual keyboard");
  if (::ioctl(fd, UI_DEV_CREATE) < 0) return fail("cannot create the virtual keyboard");

  return std::unique_ptr<UinputKeyboard>(new UinputKeyboard(
      fd, setup.name, ReadSysName(fd), std::chrono::steady_clock::now() + options.settle));
}

UinputKeyboard::UinputKeyboard(int fd, std::string name, std::string sysName,
                               std::chrono::steady_clock::time_point readyAt)
    : fd_(fd), name_(std::move(name)), sysName_(std::move(sysName)), readyAt_(readyAt) {}

UinputKeyboard::~UinputKeyboard() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stop_.notify_all();
  if (writer_.joinable()) writer_.join();
  ::ioctl(fd_, UI_DEV_DESTROY);
  ::close(fd_);
}

bool UinputKeyboard::Tap(int keyCode, ModifierKeys modifiers) {
  if (keyCode < 1 || keyCode > kMaxKeyCode) return false;
  {
    std::unique_lock lock(mutex_);
    // Once a tap is held back, later ones follow it, so that the keys keep their order.
    if (holding_ || std::chrono::steady_clock::now() < readyAt_) {
      held_.push_back({keyCode, modifiers});
      if (!holding_) {
        holding_ = true;
        if (writer_.joinable()) writer_.join();  // one that has finished already
        writer_ = std::thread(&UinputKeyboard::WriteHeldWhenSettled, this);
      }
      return true;
    }
  }
  return Write(keyCode, modifiers);
}

void UinputKeyboard::WriteHeldWhenSettled() {
  std::unique_lock lock(mutex_);
  stop_.wait_until(lock, readyAt_, [this] { return stopping_; });
  while (!held_.empty()) {
    const std::vector<HeldTap> taps = std::move(held_);
    held_.clear();
    lock.unlock();
    for (const HeldTap& tap : taps) Write(tap.keyCode, tap.modifiers);
    lock.lock();
  }
  holding_ = false;
}

bool UinputKeyboard::Write(int keyCode, ModifierKeys modifiers) {
  const std::array<bool, 4> wanted = WhichDown(modifiers);
  EventBatch press;
  for (size_t i = 0; i < kModifierEvdevCodes.size(); ++i)
    if (wanted[i] && kModifierEvdevCodes[i] != keyCode) press.Key(kModifierEvdevCodes[i], true);
  press.Key(keyCode, true);
  press.Key(keyCode, false);
  for (size_t i = kModifierEvdevCodes.size(); i-- > 0;)
    if (wanted[i] && kModifierEvdevCodes[i] != keyCode) press.Key(kModifierEvdevCodes[i], false);
  if (WriteAll(fd_, press.data(), press.size())) return true;

  // Part of the batch may have gone out: release everything it could have pressed. A release of
  // a key that is not down is dropped by the kernel, so this is safe in every case.
  EventBatch release;
  release.Key(keyCode, false);
  for (size_t i = kModifierEvdevCodes.size(); i-- > 0;)
    if (wanted[i]) release.Key(kModifierEvdevCodes[i], false);
  WriteAll(fd_, release.data(), release.size());
  return false;
}

std::string UinputKeyboard::EventNode() const {
  std::string node = EventNodeFromSys(sysName_);
  return node.empty() ? EventNodeByName(name_) : node;
}

}  // namespace platform::linux_keys
