#pragma once

#include <functional>
#include <string>

#include "platform/DisplayProbe.h"

// When the connection to the display breaks, Qt's window system plug-in ends the process with
// exit() from inside the event loop. Left alone, exit() would then destroy the application
// object, the windows and the key output's own display connection, each of which talks to the
// dead server. The guard runs first among the exit handlers: it closes the windows without
// touching the display, so their Close events still save, says so in one line on standard error
// and ends the process with status 1 before any destructor runs.
namespace platform::qt {

// The display probe in use (see WindowBackend.h), for the session's start and the guard below.
const DisplayProbe& Probe();

// Around the construction of the application object, when the framework connects to the display
// the probe chose: should the start fail (the display gone meanwhile, or its platform unable to
// start), the process ends with our one line and status 1 in place of the framework's abort and
// text. The framework's messages are held back until FrameworkStarted, which passes them on.
// Both also put our handler of X library connection loss in place (EndForLostDisplay).
void GuardFrameworkStart();
void FrameworkStarted();

// Runs `choose` (the choice of the key output and the receiver) with what it writes to std::cerr
// held back: a backend that found no display because the display went away meanwhile would say
// so before our line does. Passed on when the display is still there.
void ChooseBackendsWatchingDisplay(const std::function<void()>& choose);

// Ends the process for a lost display: the windows are closed as the guard below does (before
// the loop runs there is nothing to save), one line says so, status 1. Never returns.
[[noreturn]] void EndForLostDisplay();

// From now on Qt's own messages are left out once the X connection has broken: they would only
// repeat, less clearly, what the guard's line says.
void QuietQtAfterDisplayLoss();

// Registers the guard (again): exit handlers run in reverse order of registration, so each call
// puts it ahead of everything made before it. Armed until DisarmDisplayLossGuard.
void ArmDisplayLossGuard();
// The run ends normally from here on (Runtime::Exit).
void DisarmDisplayLossGuard();

// Raises every open window's Close event without using the display (implemented by the
// runtime). Returns how it went, for the line on standard error.
std::string CloseWindowsAfterDisplayLoss();

}  // namespace platform::qt
