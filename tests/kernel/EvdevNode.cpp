#include "tests/kernel/EvdevNode.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/input.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <thread>

namespace zibk {
namespace {

std::vector<std::string> EventNodes() {
  std::vector<std::string> nodes;
  DIR* dir = opendir("/dev/input");
  if (dir == nullptr) return nodes;
  while (const dirent* entry = readdir(dir)) {
    if (std::strncmp(entry->d_name, "event", 5) == 0) {
      nodes.push_back(std::string("/dev/input/") + entry->d_name);
    }
  }
  closedir(dir);
  return nodes;
}

std::optional<std::string> NodeWithIds(std::uint16_t vendor, std::uint16_t product) {
  for (const std::string& node : EventNodes()) {
    const int fd = open(node.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) continue;
    input_id id{};
    const bool match =
        ioctl(fd, EVIOCGID, &id) == 0 && id.vendor == vendor && id.product == product;
    close(fd);
    if (match) return node;
  }
  return std::nullopt;
}

constexpr Millis kScanStep{10};

}  // namespace

std::optional<std::string> WaitForNode(std::uint16_t vendor, std::uint16_t product,
                                       Millis timeout) {
  const auto end = Clock::now() + timeout;
  for (;;) {
    if (auto node = NodeWithIds(vendor, product)) return node;
    if (Clock::now() >= end) return std::nullopt;
    std::this_thread::sleep_for(kScanStep);
  }
}

bool WaitForNoNode(std::uint16_t vendor, std::uint16_t product, Millis timeout) {
  const auto end = Clock::now() + timeout;
  for (;;) {
    if (!NodeWithIds(vendor, product)) return true;
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(kScanStep);
  }
}

EvdevReader::EvdevReader(const std::string& path) {
  fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) throw std::runtime_error("open " + path + ": " + std::strerror(errno));
  // Event stamps on the clock of std::chrono::steady_clock, so checks can compare them.
  int clock = CLOCK_MONOTONIC;
  if (ioctl(fd_, EVIOCSCLOCKID, &clock) < 0) {
    close(fd_);
    throw std::runtime_error("EVIOCSCLOCKID on " + path + ": " + std::strerror(errno));
  }
}

EvdevReader::~EvdevReader() { close(fd_); }

std::string EvdevReader::Name() const {
  char name[256] = {};
  if (ioctl(fd_, EVIOCGNAME(sizeof name - 1), name) < 0) return {};
  return name;
}

bool EvdevReader::HasKey(int code) const {
  unsigned char bits[KEY_MAX / 8 + 1] = {};
  if (ioctl(fd_, EVIOCGBIT(EV_KEY, sizeof bits), bits) < 0) return false;
  const auto index = static_cast<unsigned>(code);
  return (bits[index / 8] & (1u << (index % 8))) != 0;
}

std::vector<int> EvdevReader::KeysDown() const {
  unsigned char bits[KEY_MAX / 8 + 1] = {};
  std::vector<int> down;
  if (ioctl(fd_, EVIOCGKEY(sizeof bits), bits) < 0) return down;
  for (unsigned code = 0; code <= KEY_MAX; ++code) {
    if ((bits[code / 8] & (1u << (code % 8))) != 0) down.push_back(static_cast<int>(code));
  }
  return down;
}

bool EvdevReader::Grab(bool on) { return ioctl(fd_, EVIOCGRAB, on ? 1 : 0) == 0; }

bool EvdevReader::ReadOne(Millis timeout, KeyEvent& out) {
  const auto end = Clock::now() + timeout;
  for (;;) {
    input_event ev{};
    const ssize_t n = read(fd_, &ev, sizeof ev);
    if (n == static_cast<ssize_t>(sizeof ev)) {
      if (ev.type != EV_KEY) continue;
      out = KeyEvent{ev.code, ev.value,
                     Clock::time_point(std::chrono::seconds(ev.input_event_sec) +
                                       std::chrono::microseconds(ev.input_event_usec))};
      return true;
    }
    if (n < 0 && errno == ENODEV) {
      gone_ = true;
      return false;
    }
    const auto left = std::chrono::duration_cast<Millis>(end - Clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd_, POLLIN, 0};
    poll(&p, 1, static_cast<int>(left.count()) + 1);
  }
}

std::vector<KeyEvent> EvdevReader::Drain() {
  std::vector<KeyEvent> events;
  KeyEvent ev;
  while (ReadOne(Millis{0}, ev)) events.push_back(ev);
  return events;
}

std::vector<KeyEvent> EvdevReader::ReadFor(Millis window) {
  std::vector<KeyEvent> events;
  const auto end = Clock::now() + window;
  KeyEvent ev;
  for (;;) {
    const auto left = std::chrono::duration_cast<Millis>(end - Clock::now());
    if (left.count() <= 0 || !ReadOne(left, ev)) return events;
    events.push_back(ev);
  }
}

std::vector<KeyEvent> EvdevReader::ReadUntilRelease(Millis timeout) {
  std::vector<KeyEvent> events;
  const auto end = Clock::now() + timeout;
  KeyEvent ev;
  for (;;) {
    const auto left = std::chrono::duration_cast<Millis>(end - Clock::now());
    if (left.count() <= 0 || !ReadOne(left, ev)) return events;
    events.push_back(ev);
    if (ev.value == 0) return events;
  }
}

std::string Describe(const std::vector<KeyEvent>& events) {
  if (events.empty()) return "nothing";
  std::string text;
  for (const KeyEvent& ev : events) {
    if (!text.empty()) text += ", ";
    text += std::to_string(ev.code);
    text += ev.value == 1 ? " down" : ev.value == 0 ? " up" : " repeat";
  }
  return text;
}

}  // namespace zibk
