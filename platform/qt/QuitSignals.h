#pragma once

// SIGTERM, SIGHUP and SIGINT (a logout, `kill`, the terminal closing, Ctrl+C) quit the
// application as its Quit menu item does, so every window's Close event runs. The handler only
// writes a byte into a pipe; the main loop reads it and quits between events. A second signal
// ends the process at once, by the signal's default action. A signal that was ignored when the
// program started (nohup) stays ignored.
namespace platform::qt {

// Installs the handlers. Signals that come before the framework is up wait in the pipe.
void InstallQuitSignals();
// Once the application object exists: the main loop starts watching the pipe.
void WatchQuitSignals();
// Gives the three signals back their default action and stops watching.
void RestoreQuitSignals();

}  // namespace platform::qt
