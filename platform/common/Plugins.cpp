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
  if (!chosen.keys && chosen.systemKeys) chosen.keys = chosen.systemKeys();
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
