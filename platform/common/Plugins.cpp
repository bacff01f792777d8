// The backends behind the remote and key classes, set once at start-up (or by tests).
#include "platform/Plugins.h"

#include <utility>

namespace platform::Plugins {

namespace {

struct Backends {
  RemoteFactory remote;
  std::shared_ptr<KeyOutput> keys;
  RemoteFactory systemRemote;
  KeyOutputFactory systemKeys;
  std::function<void()> keysListener;
};

Backends& Chosen() {
  static Backends backends;
  return backends;
}

}  // namespace

void SetSystemBackends(RemoteFactory remote, KeyOutputFactory keys) {
  Chosen().systemRemote = std::move(remote);
  Chosen().systemKeys = std::move(keys);
}

void ChooseSystemBackends() {
  auto& chosen = Chosen();
  if (!chosen.remote) chosen.remote = chosen.systemRemote;
  if (!chosen.keys && chosen.systemKeys) SetKeyOutput(chosen.systemKeys());
}

void SetRemoteFactory(RemoteFactory factory) { Chosen().remote = std::move(factory); }

void SetKeyOutput(std::shared_ptr<KeyOutput> output) {
  // The old output is kept until the listener has let go of its descriptor.
  const auto old = std::exchange(Chosen().keys, std::move(output));
  if (Chosen().keysListener) Chosen().keysListener();
}

void SetKeyOutputListener(std::function<void()> listener) {
  Chosen().keysListener = std::move(listener);
}

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
