#pragma once

#include <memory>

#include "platform/AppleRemote.h"
#include "platform/KeyPress.h"

// The real Linux backends behind the remote and key classes.
namespace platform::linux_backends {

// A receiver for the infrared remote through evdev. Available() is False when no receiver is
// plugged in or it cannot be opened.
std::unique_ptr<RemoteReceiver> NewEvdevReceiver();

// Key output for this session: XTest when an X display is there, else a uinput keyboard when
// /dev/uinput is writable, else one that presses nothing (and says so once on standard error).
std::shared_ptr<KeyOutput> NewSystemKeyOutput();

}  // namespace platform::linux_backends
