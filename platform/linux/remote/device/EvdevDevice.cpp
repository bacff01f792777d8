#include "platform/linux/remote/device/EvdevDevice.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <optional>
#include <utility>

#include "platform/linux/remote/device/InputDirWatch.h"

namespace platform::evdev_remote {
namespace {

constexpr std::size_t kKeyBytes = KEY_MAX / 8 + 1;

// The N of "event<N>", or -1 for any other name.
long EventNodeNumber(const char* name) {
  const std::string_view text(name);
  constexpr std::string_view prefix = "event";
  if (text.size() <= prefix.size() || text.substr(0, prefix.size()) != prefix) return -1;
  long number = -1;
  const char* begin = text.data() + prefix.size();
  const char* end = text.data() + text.size();
  auto [next, ec] = std::from_chars(begin, end, number);
  return (ec == std::errc() && next == end) ? number : -1;
}

std::vector<std::string> EventNodes(const std::string& dir) {
  std::vector<std::pair<long, std::string>> found;
  if (DIR* listing = opendir(dir.c_str())) {
    while (const dirent* entry = readdir(listing)) {
      const long number = EventNodeNumber(entry->d_name);
      if (number >= 0) found.emplace_back(number, dir + "/" + entry->d_name);
    }
    closedir(listing);
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> paths;
  for (auto& item : found) paths.push_back(std::move(item.second));
  return paths;
}

int OpenNode(const std::string& path) {
  int fd = -1;
  do {
    fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool HasReceiverIds(int fd) {
  input_id id{};
  return ioctl(fd, EVIOCGID, &id) == 0 && IsReceiverId(id.vendor, id.product);
}

// One of the hexadecimal ids sysfs keeps for the input device behind a character device.
std::optional<std::uint16_t> SysfsId(dev_t device, const char* name) {
  const std::string file = "/sys/dev/char/" + std::to_string(major(device)) + ":" +
                           std::to_string(minor(device)) + "/device/id/" + name;
  std::FILE* in = std::fopen(file.c_str(), "re");
  if (in == nullptr) return std::nullopt;
  unsigned value = 0;
  const bool read = std::fscanf(in, "%x", &value) == 1 && value <= 0xffff;
  std::fclose(in);
  return read ? std::optional<std::uint16_t>(static_cast<std::uint16_t>(value)) : std::nullopt;
}

// A node that does not open cannot be asked for its ids, but anyone may read them in sysfs.
bool SysfsSaysReceiver(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) return false;
  const auto vendor = SysfsId(info.st_rdev, "vendor");
  const auto product = SysfsId(info.st_rdev, "product");
  return vendor && product && IsReceiverId(*vendor, *product);
}

}  // namespace

bool IsReceiverId(std::uint16_t vendor, std::uint16_t product) noexcept {
  return vendor == kReceiverVendor &&
         std::find(std::begin(kReceiverProducts), std::end(kReceiverProducts), product) !=
             std::end(kReceiverProducts);
}

ReceiverScan ScanForReceivers(const std::string& dir) {
  ReceiverScan scan;
  for (const std::string& path : EventNodes(dir)) {
    const int fd = OpenNode(path);
    if (fd < 0) {
      const int error = errno;
      if (error == EACCES || error == EPERM) scan.someRefused = true;
      if (SysfsSaysReceiver(path)) scan.unopenedReceivers.push_back({path, error});
      continue;
    }
    if (HasReceiverIds(fd)) scan.receivers.push_back(path);
    close(fd);
  }
  return scan;
}

std::vector<std::string> FindReceiverNodes(const std::string& dir) {
  return ScanForReceivers(dir).receivers;
}

std::unique_ptr<EvdevRemoteDevice> EvdevRemoteDevice::Open(const std::string& path, int* error) {
  if (error != nullptr) *error = 0;
  const int fd = OpenNode(path);
  if (fd < 0) {
    if (error != nullptr) *error = errno;
    return nullptr;
  }
  if (!HasReceiverIds(fd)) {
    close(fd);
    return nullptr;
  }
  int clock = CLOCK_MONOTONIC;
  const bool monotonic = ioctl(fd, EVIOCSCLOCKID, &clock) == 0;
  return std::unique_ptr<EvdevRemoteDevice>(new EvdevRemoteDevice(fd, path, monotonic));
}

EvdevRemoteDevice::~EvdevRemoteDevice() { close(fd_); }

bool EvdevRemoteDevice::Grab(bool on, int* error) {
  // EVIOCGRAB takes its argument by value, not through a pointer.
  const bool done = ioctl(fd_, EVIOCGRAB, on ? 1 : 0) == 0;
  if (error != nullptr) *error = done ? 0 : errno;
  return done;
}

EvdevRemoteDevice::ReadStatus EvdevRemoteDevice::ReadEvents(std::vector<input_event>& out) {
  input_event buffer[64];
  for (;;) {
    const ssize_t got = read(fd_, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return ReadStatus::kDrained;
      return ReadStatus::kGone;  // ENODEV after an unplug, or a failing device
    }
    // A readable evdev node never reports end of file; when it does, the node is unusable.
    if (got == 0) return ReadStatus::kGone;
    const auto count = static_cast<std::size_t>(got) / sizeof(input_event);
    out.insert(out.end(), buffer, buffer + count);
  }
}

bool EvdevRemoteDevice::KeyState(std::vector<unsigned char>& bits) const {
  bits.assign(kKeyBytes, 0);
  return ioctl(fd_, EVIOCGKEY(kKeyBytes), bits.data()) >= 0;
}

bool EvdevRemoteDevice::KeyDown(unsigned code) const {
  std::vector<unsigned char> bits;
  if (code > KEY_MAX || !KeyState(bits)) return false;
  return ((static_cast<unsigned>(bits[code / 8]) >> (code % 8)) & 1U) != 0;
}

bool EvdevRemoteDevice::AnyKeyDown() const {
  std::vector<unsigned char> bits;
  if (!KeyState(bits)) return false;
  return std::any_of(bits.begin(), bits.end(), [](unsigned char byte) { return byte != 0; });
}

std::unique_ptr<NodeWatch> EvdevDeviceSource::WatchNodes() {
  return std::make_unique<InputDirWatch>(dir_);
}

}  // namespace platform::evdev_remote
