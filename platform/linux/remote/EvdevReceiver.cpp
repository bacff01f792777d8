// The receiver backend on the Qt event loop: socket notifiers on the device node and on the
// input folder's inotify descriptor, and one precise single-shot timer, drive a RemoteSession.

#include <QSocketNotifier>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>

#include "platform/Runtime.h"
#include "platform/linux/Backends.h"
#include "platform/linux/remote/device/RemoteSession.h"

namespace platform::linux_backends {
namespace {

using evdev_remote::Clock;
using evdev_remote::RemoteSession;
using evdev_remote::TimePoint;

class EvdevReceiver final : public RemoteReceiver, private evdev_remote::SessionLoop {
 public:
  EvdevReceiver() : timer_(std::make_unique<QTimer>()) {
    timer_->setSingleShot(true);
    timer_->setTimerType(Qt::PreciseTimer);  // a coarse timer may fire up to 5 % early or late
    Connect(timer_.get(), &QTimer::timeout, [this] { session_.TimerDue(); });
  }

  ~EvdevReceiver() override {
    session_.Stop();
    timer_->stop();
    // Should the listener be released from inside one of these objects' signals, Qt deletes
    // them once that signal is over.
    Retire(timer_);
  }

  bool Available() override { return session_.Available(); }
  void Start(Sink sink) override { session_.Start(std::move(sink)); }
  void Stop() override { session_.Stop(); }
  void SetExclusive(bool exclusive) override { session_.SetExclusive(exclusive); }

 private:
  void WatchDevice(int fd) override {
    Watch(deviceNotifier_, fd, [this] { session_.DeviceReadable(); });
  }
  void WatchInputDir(int fd) override {
    Watch(dirNotifier_, fd, [this] { session_.InputDirChanged(); });
  }

  void SetTimer(std::optional<TimePoint> due) override {
    if (!due) {
      timer_->stop();
      return;
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*due - Now());
    timer_->start(std::max<std::chrono::milliseconds>(wait, std::chrono::milliseconds(0)));
  }

  TimePoint Now() override { return Clock::now(); }

  template <typename Callback>
  void Watch(std::unique_ptr<QSocketNotifier>& notifier, int fd, Callback callback) {
    if (notifier) {
      // Its descriptor closes right after this: no activation may reach it any more.
      notifier->setEnabled(false);
      Retire(notifier);
    }
    if (fd < 0) return;
    notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    Connect(notifier.get(), &QSocketNotifier::activated, callback);
  }

  // Runs `callback` for each `signal` through the dispatch guard, counting how deep inside
  // such signals we are. The count is shared, so a call that outlives this object still finds it.
  template <typename Sender, typename Signal, typename Callback>
  void Connect(Sender* sender, Signal signal, Callback callback) {
    QObject::connect(sender, signal, [depth = depth_, callback] {
      ++*depth;
      Runtime::Dispatch(callback);
      --*depth;
    });
  }

  // Deletes a Qt object of ours now, or, while one of our signals runs (it may be that
  // object's own), once control is back in the event loop.
  template <typename Object>
  void Retire(std::unique_ptr<Object>& object) {
    if (*depth_ > 0) {
      object.release()->deleteLater();
    } else {
      object.reset();
    }
  }

  std::shared_ptr<int> depth_ = std::make_shared<int>(0);
  std::unique_ptr<QTimer> timer_;
  std::unique_ptr<QSocketNotifier> deviceNotifier_;
  std::unique_ptr<QSocketNotifier> dirNotifier_;
  RemoteSession session_{*this};  // last: it stops watching through the members above
};

}  // namespace

std::unique_ptr<RemoteReceiver> NewEvdevReceiver() { return std::make_unique<EvdevReceiver>(); }

}  // namespace platform::linux_backends
