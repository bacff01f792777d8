// A layout switch's notice and the keymap asked for after it are taken when they come, not at
// the next press: by then another client may hold the server, and the press would type with
// the keymap from before the switch.
#include "platform/qt/KeyOutputWatch.h"

#include <QSocketNotifier>
#include <memory>

#include "platform/KeyPress.h"
#include "platform/Plugins.h"
#include "platform/Runtime.h"

namespace platform::qt {
namespace {

std::unique_ptr<QSocketNotifier>& Notifier() {
  static std::unique_ptr<QSocketNotifier> notifier;
  return notifier;
}

// The notifier may be the one whose signal is running: it goes once control is back in the loop.
void Retire() {
  if (QSocketNotifier* notifier = Notifier().release()) {
    notifier->setEnabled(false);
    notifier->deleteLater();
  }
}

void TakeArrived() {
  if (!Notifier()) return;
  KeyOutput& keys = Plugins::Keys();
  const auto watched = static_cast<int>(Notifier()->socket());
  if (keys.NoticeDescriptor() == watched) keys.TakeArrived();
  // A broken connection stays readable, and would wake the loop for ever.
  if (keys.NoticeDescriptor() != watched) Retire();
}

void Watch() {
  Retire();
  const int descriptor = Plugins::Keys().NoticeDescriptor();
  if (descriptor < 0) return;
  Notifier() = std::make_unique<QSocketNotifier>(descriptor, QSocketNotifier::Read);
  QObject::connect(Notifier().get(), &QSocketNotifier::activated,
                   [] { Runtime::Dispatch(TakeArrived); });
  // What the output read before it was watched may wait in its own buffer, where the
  // descriptor shows nothing.
  Runtime::Dispatch(TakeArrived);
}

}  // namespace

void WatchKeyOutputs() {
  Plugins::SetKeyOutputListener(Watch);
  Watch();
}

void StopWatchingKeyOutputs() {
  Plugins::SetKeyOutputListener({});
  Retire();
}

}  // namespace platform::qt
