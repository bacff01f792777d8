// The backends behind the remote and key classes, set once at start-up (or by tests).
#include "platform/Plugins.h"

#include <utility>

#include "platform/linux/Backends.h"

namespace platform::Plugins {

namespace {

// Keys when no backend is there: no character has a key, so nothing is ever pressed.
class NoKeyOutput : public KeyOutput {
 public:
  int KeyCodeFor(int) override { return kNoKeyCode; }
  void Press(const KeyStroke&) override {}
};

struct Backends {
  RemoteFactory remote;
  std::shared_ptr<KeyOutput> keys;
};

Backends& Chosen() {
  static Backends backends;
  return backends;
}

}  // namespace

void ChooseSystemBackends() {
  auto& chosen = Chosen();
  if (!chosen.remote) chosen.remote = [] { return linux_backends::NewEvdevReceiver(); };
  if (!chosen.keys) chosen.keys = linux_backends::NewSystemKeyOutput();
}

void SetRemoteFactory(RemoteFactory factory) { Chosen().remote = std::move(factory); }

void SetKeyOutput(std::shared_ptr<KeyOutput> output) { Chosen().keys = std::move(output); }

bool BackendsChosen() noexcept { return Chosen().remote && Chosen().keys; }

std::unique_ptr<RemoteReceiver> NewRemoteReceiver() {
  auto& factory = Chosen().remote;
  return factory ? factory() : nullptr;
}

KeyOutput& Keys() {
  static NoKeyOutput none;
  auto& keys = Chosen().keys;
  return keys ? *keys : none;
}

}  // namespace platform::Plugins
