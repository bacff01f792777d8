#pragma once

#include <string>

// When the connection to the display breaks, Qt's window system plug-in ends the process with
// exit() from inside the event loop. Left alone, exit() would then destroy the application
// object, the windows and the key output's own display connection, each of which talks to the
// dead server. The guard runs first among the exit handlers: it closes the windows without
// touching the display, so their Close events still save, says so in one line on standard error
// and ends the process with status 1 before any destructor runs.
namespace platform::qt {

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
