#pragma once

#include <string>

// The program's place in the user's graphical session: one copy per session, an orderly quit
// on the termination signals, a clean end when the display goes away.
namespace platform::Session {

// How a start of the program goes on.
enum class Entry {
  Joined,      // this run is the session's copy of the program
  HandedOver,  // a copy already runs in this session and was asked to show its main window
  NoDisplay,   // there is no X11 or Wayland display to show windows on
  Unanswered,  // a copy holds the session but does not answer
  Signalled,   // asked to quit (SIGTERM, SIGHUP, SIGINT) before it had joined
};

// Call once, after Runtime::Init and before anything else: a start that does not join must
// leave no trace (no settings read or written, no receiver opened, no window). `detail` tells
// why for NoDisplay and Unanswered.
//
// Once joined, the run holds the session until Runtime::Exit. Later starts in the same session
// (the same display) hand over to it, which raises the application's Reopen event. SIGTERM,
// SIGHUP and SIGINT quit the application as its Quit menu item does (unless they were ignored
// from the start), even when the parent had blocked them; one that comes before the main loop
// runs is acted on once it can be. While that quit is under way, further SIGTERM and SIGHUP
// change nothing; only a second SIGINT ends the process at once. A lost display ends the run
// with status 1 after the windows' Close events, touching nothing of the display on the way out.
//
// Runs that never join (tests) have none of this.
Entry Join(std::string& detail);

}  // namespace platform::Session
