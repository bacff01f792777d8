// Stand-ins until the evdev receiver and the key output land: no remote, no keys.
#include "platform/linux/Backends.h"

namespace platform::linux_backends {

namespace {

class AbsentReceiver : public RemoteReceiver {
 public:
  bool Available() override { return false; }
  void Start(Sink) override {}
  void Stop() override {}
  void SetExclusive(bool) override {}
};

class NoKeys : public KeyOutput {
 public:
  int KeyCodeFor(int) override { return kNoKeyCode; }
  void Press(const KeyStroke&) override {}
};

}  // namespace

std::unique_ptr<RemoteReceiver> NewEvdevReceiver() { return std::make_unique<AbsentReceiver>(); }

std::shared_ptr<KeyOutput> NewSystemKeyOutput() { return std::make_shared<NoKeys>(); }

}  // namespace platform::linux_backends
