#include "platform/linux/remote/device/RemoteSession.h"

#include "platform/linux/remote/device/EvdevDevice.h"
#include "platform/linux/remote/device/ReceiverNotices.h"

#include <algorithm>
#include <utility>

namespace platform::evdev_remote {
namespace {

std::optional<TimePoint> Earliest(std::optional<TimePoint> a, std::optional<TimePoint> b) {
  if (!a) return b;
  if (!b) return a;
  return std::min(*a, *b);
}

}  // namespace

RemoteSession::RemoteSession(SessionLoop& loop, std::string inputDir)
    : RemoteSession(loop, std::make_unique<EvdevDeviceSource>(std::move(inputDir))) {}

RemoteSession::RemoteSession(SessionLoop& loop, std::unique_ptr<DeviceSource> source)
    : loop_(loop), source_(std::move(source)) {}

RemoteSession::~RemoteSession() {
  *alive_ = false;
  Stop();
}

bool RemoteSession::Available() {
  if (device_) return true;
  const ReceiverScan scan = source_->Scan();
  if (!scan.receivers.empty()) return true;
  TellUnopened(scan);
  return false;
}

void RemoteSession::Start(Sink sink) {
  sink_ = std::move(sink);
  if (listening_) return;
  listening_ = true;
  watch_ = source_->WatchNodes();
  loop_.WatchInputDir(watch_->fd());
  TryOpen(false);
  UpdateTimer();
}

void RemoteSession::Stop() {
  if (!listening_) return;
  listening_ = false;
  if (device_) {
    if (grabbed_) device_->Grab(false);
    loop_.WatchDevice(-1);
    device_.reset();
  }
  grabbed_ = false;
  loop_.WatchInputDir(-1);
  watch_.reset();
  // A hold in progress ends silently: nothing is listening for its end any more.
  decoder_.Reset();
  resyncing_ = false;
  retriesLeft_ = 0;
  retryAt_.reset();
  pending_.clear();
  UpdateTimer();
}

void RemoteSession::SetExclusive(bool exclusive) {
  exclusive_ = exclusive;
  UpdateGrab();
}

void RemoteSession::DeviceReadable() {
  if (!device_) return;
  ReadDevice();
  UpdateTimer();
  Deliver();
}

void RemoteSession::InputDirChanged() {
  if (!watch_) return;
  const bool changed = watch_->ReadChanges();
  if (listening_ && changed && !device_) {
    retriesLeft_ = kRetries;
    TryOpen(true);
  }
  UpdateTimer();
  Deliver();
}

void RemoteSession::TimerDue() {
  if (!listening_) return;
  // A release still waiting in the node may have come before the threshold: read it first.
  if (device_) ReadDevice();
  const TimePoint now = loop_.Now();
  if (device_) Collect(decoder_.TimerDue(now));
  if (retryAt_ && now >= *retryAt_) {
    retryAt_.reset();
    TryOpen(true);
  }
  UpdateTimer();
  Deliver();
}

void RemoteSession::TryOpen(bool retryIfRefused) {
  if (!listening_ || device_) return;
  const ReceiverScan scan = source_->Scan();
  for (const std::string& path : scan.receivers) {
    device_ = source_->Open(path);
    if (device_) break;
  }
  if (device_) {
    retriesLeft_ = 0;
    retryAt_.reset();
    resyncing_ = false;
    decoder_.Reset();
    loop_.WatchDevice(device_->fd());
    UpdateGrab();
  } else if (retryIfRefused && scan.someRefused && retriesLeft_ > 0) {
    --retriesLeft_;
    retryAt_ = loop_.Now() + kRetryInterval;
  } else {
    // Only once the retries are over: udev may still be setting a new node's permissions.
    TellUnopened(scan);
  }
}

void RemoteSession::ReadDevice() {
  std::vector<input_event> events;
  const auto status = device_->ReadEvents(events);
  const bool kernelTimes = device_->monotonicTimes();
  for (const input_event& event : events) {
    const TimePoint at = kernelTimes ? TimePoint(std::chrono::seconds(event.input_event_sec) +
                                                 std::chrono::microseconds(event.input_event_usec))
                                     : loop_.Now();
    if (event.type == EV_SYN && event.code == SYN_DROPPED) {
      // The client buffer overflowed: what follows up to the next report is incomplete.
      resyncing_ = true;
    } else if (resyncing_) {
      if (event.type == EV_SYN && event.code == SYN_REPORT) {
        resyncing_ = false;
        Collect(decoder_.Resync(at, [this](unsigned code) { return device_->KeyDown(code); }));
      }
    } else if (event.type == EV_KEY) {
      Collect(decoder_.Key(at, event.code, event.value));
    }
  }
  if (status == RemoteDevice::ReadStatus::kGone) {
    Collect(decoder_.DeviceGone());
    DropDevice();
    TryOpen(false);  // another receiver may still be there
  } else {
    UpdateGrab();  // a grab waiting for the buttons to come up
  }
}

void RemoteSession::DropDevice() {
  // Stop waiting on the descriptor before it closes: a hung-up node stays readable for ever.
  loop_.WatchDevice(-1);
  device_.reset();
  grabbed_ = false;
  resyncing_ = false;
  decoder_.Reset();
}

void RemoteSession::UpdateGrab() {
  if (!device_) return;
  const bool wanted = listening_ && exclusive_;
  if (wanted && !grabbed_) {
    // A button that is down now would come up for us alone, and other readers of the node
    // would keep it down for ever: wait until everything is up.
    if (decoder_.ButtonDown() || device_->AnyKeyDown()) return;
    int error = 0;
    grabbed_ = device_->Grab(true, &error);
    // Tried again after the next events; until then the node is read alongside the other reader.
    if (!grabbed_) {
      Tell(GrabRefusedNotice(device_->path(), error));
    } else if (device_->AnyKeyDown()) {
      // A press came between the look and the grab and may have reached the other readers
      // before it: let them have its release too. Should it have come after the grab, they get
      // a release of a key that is up, which changes nothing for them.
      device_->Grab(false);
      grabbed_ = false;
    }
  } else if (!wanted && grabbed_) {
    device_->Grab(false);
    grabbed_ = false;
  }
}

void RemoteSession::UpdateTimer() {
  loop_.SetTimer(listening_ ? Earliest(decoder_.Deadline(), retryAt_) : std::nullopt);
}

void RemoteSession::Collect(std::vector<RemoteEvent> events) {
  pending_.insert(pending_.end(), events.begin(), events.end());
}

void RemoteSession::Deliver() {
  // The sink may run a nested event loop that calls back into this session, stop it, or
  // destroy it. Nested calls only queue; the outermost call hands the reports over in order.
  if (delivering_ || pending_.empty()) return;
  const std::shared_ptr<bool> alive = alive_;
  struct Reset {
    const std::shared_ptr<bool>& alive;
    bool& flag;
    ~Reset() {
      if (*alive) flag = false;
    }
  } reset{alive, delivering_};
  delivering_ = true;
  while (listening_ && !pending_.empty()) {
    const RemoteEvent event = pending_.front();
    pending_.erase(pending_.begin());
    const Sink sink = sink_;  // Start may replace sink_ while this copy runs
    if (sink) sink(event.button, event.down);
    if (!*alive) return;
  }
}

void RemoteSession::TellUnopened(const ReceiverScan& scan) {
  for (const UnopenedNode& node : scan.unopenedReceivers)
    Tell(UnreadableNodeNotice(node.path, node.error));
}

void RemoteSession::Tell(const std::string& notice) {
  if (told_.insert(notice).second) WriteNotice(notice);
}

}  // namespace platform::evdev_remote
