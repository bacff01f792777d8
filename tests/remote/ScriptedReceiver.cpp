#include "tests/remote/ScriptedReceiver.h"

#include <cerrno>
#include <chrono>
#include <utility>

namespace platform::evdev_remote::testing {
namespace {

// Any numbers: the session only hands them to its loop, which the test plays too.
constexpr int kDeviceFd = 40, kWatchFd = 41;

// A node that cannot switch clocks stamps with the wall clock, far from the monotonic one.
constexpr std::chrono::seconds kWallClockOffset{1'700'000'000};

input_event Event(TimePoint at, bool monotonic, unsigned short type, unsigned short code,
                  int value) {
  auto since = at.time_since_epoch();
  if (!monotonic) since += kWallClockOffset;
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(since - seconds);
  input_event event{};
  event.input_event_sec = static_cast<decltype(event.input_event_sec)>(seconds.count());
  event.input_event_usec = static_cast<decltype(event.input_event_usec)>(micros.count());
  event.type = type;
  event.code = code;
  event.value = value;
  return event;
}

}  // namespace

class ScriptedReceiver::Device final : public RemoteDevice {
 public:
  explicit Device(ScriptedReceiver& node) : node_(node), generation_(node.generation_) {
    node_.open_ = this;
    node_.queue_.clear();  // a new reader gets what happens from now on
  }
  ~Device() override {
    if (!Current()) return;
    node_.open_ = nullptr;
    node_.grabbed_ = false;  // closing ends the grab
  }
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  int fd() const override { return kDeviceFd; }
  const std::string& path() const override { return node_.path; }
  bool monotonicTimes() const override { return node_.monotonicClock; }

  bool Grab(bool on, int* error) override {
    int refusal = 0;
    if (!Current()) {
      refusal = ENODEV;
    } else if (on && node_.otherGrabs) {
      refusal = EBUSY;
    } else {
      // A key down before the session asked was there for it to see.
      if (on && !node_.grabbed_ && !node_.keysDown_.empty()) node_.grabbedMidPress_ = true;
      if (on && node_.pressWhileGrabbing_) {
        const auto [at, code] = *std::exchange(node_.pressWhileGrabbing_, std::nullopt);
        node_.Emit(at, code, 1);
      }
      node_.grabJustTakenMidPress_ = on && !node_.keysDown_.empty();
      node_.grabbed_ = on;
    }
    if (error != nullptr) *error = refusal;
    return refusal == 0;
  }

  ReadStatus ReadEvents(std::vector<input_event>& out) override {
    // Like evdev: once the device is gone, what was still queued is not handed out.
    if (!Current()) return ReadStatus::kGone;
    out.insert(out.end(), node_.queue_.begin(), node_.queue_.end());
    node_.queue_.clear();
    return ReadStatus::kDrained;
  }

  bool KeyDown(unsigned code) const override {
    return Current() && node_.keysDown_.count(code) != 0;
  }
  bool AnyKeyDown() const override { return Current() && !node_.keysDown_.empty(); }

 private:
  bool Current() const { return node_.present && generation_ == node_.generation_; }

  ScriptedReceiver& node_;
  int generation_;
};

class ScriptedReceiver::Watch final : public NodeWatch {
 public:
  explicit Watch(ScriptedReceiver& node) : node_(node) {}
  int fd() const override { return kWatchFd; }
  bool ReadChanges() override { return std::exchange(node_.changed, false); }

 private:
  ScriptedReceiver& node_;
};

class ScriptedReceiver::Source final : public DeviceSource {
 public:
  explicit Source(ScriptedReceiver& node) : node_(node) {}

  ReceiverScan Scan() override {
    ReceiverScan scan;
    if (!node_.present) return scan;
    if (node_.openError == 0) {
      scan.receivers.push_back(node_.path);
    } else {
      scan.someRefused = node_.openError == EACCES || node_.openError == EPERM;
      scan.unopenedReceivers.push_back({node_.path, node_.openError});
    }
    return scan;
  }

  std::unique_ptr<RemoteDevice> Open(const std::string& path, int* error) override {
    int refusal = 0;
    if (!node_.present || path != node_.path) {
      refusal = ENOENT;
    } else if (node_.openError != 0) {
      refusal = node_.openError;
    }
    if (error != nullptr) *error = refusal;
    if (refusal != 0) return nullptr;
    return std::make_unique<Device>(node_);
  }

  std::unique_ptr<NodeWatch> WatchNodes() override { return std::make_unique<Watch>(node_); }

 private:
  ScriptedReceiver& node_;
};

bool ScriptedReceiver::Emit(TimePoint at, unsigned code, int value) {
  if (!present) return false;
  if (std::exchange(grabJustTakenMidPress_, false)) grabbedMidPress_ = true;
  if (value == 1) keysDown_.insert(code);
  if (value == 0) keysDown_.erase(code);
  // A grab sends everything to its holder alone.
  if (!grabbed_) secondReader_.push_back({code, value});
  if (open_ == nullptr || otherGrabs) return false;
  queue_.push_back(Event(at, monotonicClock, EV_KEY, static_cast<unsigned short>(code), value));
  queue_.push_back(Event(at, monotonicClock, EV_SYN, SYN_REPORT, 0));
  return true;
}

void ScriptedReceiver::Overflow() {
  queue_.clear();
  input_event dropped{};
  dropped.type = EV_SYN;
  dropped.code = SYN_DROPPED;
  queue_.push_back(dropped);
}

void ScriptedReceiver::Unplug() {
  present = false;
  keysDown_.clear();
  grabbed_ = false;
  open_ = nullptr;
  queue_.clear();
  secondReader_.push_back({0, kGoneValue});
}

void ScriptedReceiver::Plug() {
  present = true;
  ++generation_;
  changed = true;
}

std::set<unsigned> ScriptedReceiver::keysDownForSecondReader() const {
  std::set<unsigned> down;
  for (const Seen& seen : secondReader_) {
    if (seen.value == kGoneValue) {
      down.clear();
    } else if (seen.value == 1) {
      down.insert(seen.code);
    } else if (seen.value == 0) {
      down.erase(seen.code);
    }
  }
  return down;
}

std::unique_ptr<DeviceSource> ScriptedReceiver::NewSource() {
  return std::make_unique<Source>(*this);
}

}  // namespace platform::evdev_remote::testing
