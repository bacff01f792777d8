#pragma once

#include <functional>
#include <memory>

#include "platform/AppleRemote.h"
#include "platform/KeyPress.h"

namespace platform {

class Application;

// The backends behind the remote and key classes, chosen once at start-up.
namespace Plugins {

using RemoteFactory = std::function<std::unique_ptr<RemoteReceiver>()>;
using KeyOutputFactory = std::function<std::shared_ptr<KeyOutput>()>;

// The machine's own backends, which the program's assembly names at start-up; nothing is made
// until ChooseSystemBackends.
void SetSystemBackends(RemoteFactory remote, KeyOutputFactory keys);

// Makes the machine's own backends, for each kind that has none set yet.
// Runtime::RunFrameworkInitialization calls it unless both have been set already.
void ChooseSystemBackends();

// Tests and the framework set the backends explicitly.
void SetRemoteFactory(RemoteFactory factory);
void SetKeyOutput(std::shared_ptr<KeyOutput> output);
bool BackendsChosen() noexcept;

// Called whenever another key output is chosen or set, before the one it replaces goes (the
// window backend watches the output's descriptor on its main loop). Empty: none is called.
void SetKeyOutputListener(std::function<void()> listener);

std::unique_ptr<RemoteReceiver> NewRemoteReceiver();
KeyOutput& Keys();

}  // namespace Plugins

// Whether the application is a bundle. Linux has no application bundles: always False.
// Raises NilObjectException for a nil application.
bool IsBundleMBS(const std::shared_ptr<Application>& app);

}  // namespace platform
