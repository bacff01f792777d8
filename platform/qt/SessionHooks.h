#pragma once

// What the runtime tells the session code (platform/Session.h) at its turning points. Each does
// nothing in a run that has not joined the session.
namespace platform::qt {

// The application object and the backends exist: answer hand-overs from later starts, watch
// the termination signals on the main loop, guard the process's end against a lost display.
void SessionFrameworkUp();
// The event loop is about to run: the guard goes ahead of everything the start-up made.
void SessionLoopStarting();
// The application quits: a new start stops finding this copy and waits for the lock instead.
void SessionQuitting();
// Runtime::Exit, once the windows have closed and saved: the lock is released, the guard
// disarmed, and the signals get their default action back.
void LeaveSession();

}  // namespace platform::qt
