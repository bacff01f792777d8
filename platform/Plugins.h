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

// Picks the real backends for this machine (evdev receiver; XTest on X11, else uinput, else
// none). Runtime::RunFrameworkInitialization calls it unless a backend has been set already.
void ChooseSystemBackends();

// Tests and the framework set the backends explicitly.
void SetRemoteFactory(RemoteFactory factory);
void SetKeyOutput(std::shared_ptr<KeyOutput> output);
bool BackendsChosen() noexcept;

std::unique_ptr<RemoteReceiver> NewRemoteReceiver();
KeyOutput& Keys();

}  // namespace Plugins

// Whether the application is a bundle. Linux has no application bundles: always False.
// Raises NilObjectException for a nil application.
bool IsBundleMBS(const std::shared_ptr<Application>& app);

}  // namespace platform
