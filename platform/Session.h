#pragma once

#include <string>

// The program's place in the user's graphical session: one copy per settings file, an orderly
// quit on the termination signals, a clean end when the display goes away.
namespace platform::Session {

// How a start of the program goes on.
enum class Entry {
  Joined,             // this run is the user's copy of the program
  JoinedWithoutLock,  // the same, but no lock could be made to keep a second copy out
  HandedOver,         // a copy already runs on this display and was asked to show its window
  OtherDisplay,       // a copy with the same settings file already runs on another display
  NoDisplay,          // no display that windows can be shown on answers (X11, Wayland or other)
  Unanswered,         // a copy holds the lock but does not answer
  Signalled,          // asked to quit (SIGTERM, SIGHUP, SIGINT) before it had joined
};

// Call once, after Runtime::Init and before anything else: a start that does not join must
// leave no trace (no settings read or written, no receiver opened, no window). `detail` tells
// why for JoinedWithoutLock, NoDisplay and Unanswered, and names the running copy's display for
// OtherDisplay.
//
// Two copies that would share the settings file would share the receiver too, and the last to
// quit would save over the other's edits: a joined run holds a lock in the settings file's folder
// until Runtime::Exit, whatever display either is on. A later start on the same display (any
// spelling of the same X server, ":0", "unix:0.0", "localhost:0", or the same Wayland
// compositor) hands over to it, which raises the application's Reopen event; a start on another
// display opens nothing.
//
// SIGTERM, SIGHUP and SIGINT quit the application as its Quit menu item does (unless they were
// ignored from the start), even when the parent had blocked them; one that comes before the main
// loop runs is acted on once it can be. While that quit is under way, further SIGTERM and SIGHUP
// change nothing; only a second SIGINT ends the process at once. A lost display ends the run
// with status 1 after the windows' Close events, touching nothing of the display on the way out.
//
// Runs that never join (tests) have none of this.
Entry Join(std::string& detail);

}  // namespace platform::Session
