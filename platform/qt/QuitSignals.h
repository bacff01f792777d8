#pragma once

// SIGTERM, SIGHUP and SIGINT (a logout, `kill`, the terminal closing, Ctrl+C) quit the
// application as its Quit menu item does, so every window's Close event runs. The handler only
// writes a byte into a pipe; the main loop reads it and quits between events. Once a quit is
// asked for, later SIGTERM and SIGHUP belong to it (a session manager sends both at logout, and
// `timeout` may send one twice); only a second SIGINT, Ctrl+C pressed again, ends the process at
// once by its default action. A signal that was ignored when the program started (nohup) stays
// ignored; one that was blocked by the parent is unblocked.
namespace platform::qt {

// Installs the handlers and unblocks the three signals. A signal that comes before the
// framework is up, or that was pending under the inherited mask, waits in the pipe.
void InstallQuitSignals();
// Whether a quit signal has come since InstallQuitSignals: for the start-up steps that run
// before the main loop can act on it.
bool QuitAsked() noexcept;
// Once the application object exists: the main loop starts watching the pipe.
void WatchQuitSignals();
// Stops watching. Gives the three signals back their default action, unless one of them has
// asked for the quit: the rest of the way out belongs to that quit.
void RestoreQuitSignals();

}  // namespace platform::qt
