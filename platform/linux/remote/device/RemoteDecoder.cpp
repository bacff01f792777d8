#include "platform/linux/remote/device/RemoteDecoder.h"

#include <linux/input-event-codes.h>

namespace platform::evdev_remote {
namespace {

// How one key of the receiver reports.
struct KeyRole {
  unsigned key;
  bool pressAndRelease;  // volume: reports at press and at release, never times a hold
  int click;             // the volume code, or the click code
  int hold;              // the hold code (unused for volume)
  bool holdHasRelease;   // right/left report their hold's end too
};

constexpr KeyRole kRoles[] = {
    {KEY_VOLUMEUP, true, button::kVolumePlus, 0, false},
    {KEY_VOLUMEDOWN, true, button::kVolumeMinus, 0, false},
    {KEY_MENU, false, button::kMenu, button::kMenuHold, false},
    {KEY_PLAYPAUSE, false, button::kPlay, button::kPlaySleep, false},
    // The aluminium remote's centre button; it plays the part of the white remote's Play.
    {KEY_ENTER, false, button::kPlay, button::kPlaySleep, false},
    {KEY_FORWARD, false, button::kRight, button::kRightHold, true},
    {KEY_BACK, false, button::kLeft, button::kLeftHold, true},
};

const KeyRole* RoleOf(unsigned key) {
  for (const KeyRole& role : kRoles) {
    if (role.key == key) return &role;
  }
  return nullptr;
}

constexpr int kRelease = 0, kPress = 1;

}  // namespace

std::vector<RemoteEvent> RemoteDecoder::Key(TimePoint at, unsigned code, int value) {
  std::vector<RemoteEvent> out;
  // The hold threshold may have passed before this event though the timer has not fired yet
  // (both were waiting in the event loop): the hold came first.
  ReportHoldIfDue(at, out);

  const KeyRole* role = RoleOf(code);
  if (role == nullptr) return out;  // autorepeat (2) and keys the remote has not fall through

  if (value == kPress) {
    if (active_) return out;  // one button at a time
    active_ = Active{code, at, false};
    if (role->pressAndRelease) out.push_back({role->click, true});
  } else if (value == kRelease) {
    if (!active_ || active_->key != code) return out;  // its press was ignored or never seen
    if (role->pressAndRelease) {
      out.push_back({role->click, false});
    } else if (!active_->holdReported) {
      out.push_back({role->click, true});
    } else if (role->holdHasRelease) {
      out.push_back({role->hold, false});
    }
    active_.reset();
  }
  return out;
}

std::vector<RemoteEvent> RemoteDecoder::TimerDue(TimePoint now) {
  std::vector<RemoteEvent> out;
  ReportHoldIfDue(now, out);
  return out;
}

std::vector<RemoteEvent> RemoteDecoder::Resync(TimePoint now,
                                               const std::function<bool(unsigned code)>& isDown) {
  std::vector<RemoteEvent> out;
  if (!active_) return out;
  if (isDown(active_->key)) {
    ReportHoldIfDue(now, out);
  } else {
    EndWithoutClick(out);
  }
  return out;
}

std::vector<RemoteEvent> RemoteDecoder::DeviceGone() {
  std::vector<RemoteEvent> out;
  if (active_) EndWithoutClick(out);
  return out;
}

std::optional<TimePoint> RemoteDecoder::Deadline() const {
  if (!active_ || active_->holdReported) return std::nullopt;
  const KeyRole* role = RoleOf(active_->key);
  if (role == nullptr || role->pressAndRelease) return std::nullopt;
  return active_->pressedAt + kHoldThreshold;
}

void RemoteDecoder::ReportHoldIfDue(TimePoint now, std::vector<RemoteEvent>& out) {
  const std::optional<TimePoint> due = Deadline();
  if (!due || now < *due) return;
  active_->holdReported = true;
  out.push_back({RoleOf(active_->key)->hold, true});
}

void RemoteDecoder::EndWithoutClick(std::vector<RemoteEvent>& out) {
  const KeyRole* role = RoleOf(active_->key);
  if (role->pressAndRelease) {
    out.push_back({role->click, false});
  } else if (active_->holdReported && role->holdHasRelease) {
    out.push_back({role->hold, false});
  }
  active_.reset();
}

}  // namespace platform::evdev_remote
