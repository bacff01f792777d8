#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>

struct _XDisplay;

namespace zibk {

// The real program, started in the guest with a home and runtime folder of its own, found on the
// X display and driven as a user would: a click, a hand-over request on its local socket, a quit
// signal.
class ProgramRun {
 public:
  // Starts `program` on `display`; what it writes goes to `log`.
  ProgramRun(const std::string& program, const std::string& display, const std::string& home,
             const std::string& log);
  // Kills a run that is still there.
  ~ProgramRun();
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  pid_t Pid() const noexcept { return pid_; }
  // The settings file and the lock beside it.
  std::string SettingsFile() const { return home_ + "/.config/ZibRemote.ini"; }
  std::string LockFile() const { return home_ + "/.config/ZibTVRemote.lock"; }

  bool Running();
  // The viewable top-level window titled `title`, waiting at most `timeout`; 0 when none came
  // (or the run ended first).
  unsigned long WaitForWindow(_XDisplay* x, const std::string& title,
                              std::chrono::milliseconds timeout);
  // Whether the run has the file at `path` open.
  bool HasOpen(const std::string& path);
  // The socket the lock record names, empty when there is none yet.
  std::string HandOverSocket() const;
  // Sends SIGTERM; the exit status once the run ended within `timeout`.
  std::optional<int> Terminate(std::chrono::milliseconds timeout);

  // The end of what the run wrote, for a failure's message.
  std::string LogTail() const;

 private:
  pid_t pid_ = -1;
  std::string home_;
  std::string log_;
};

// What the program's main loop made of one line sent to its hand-over socket, and how soon.
struct HandOverAnswer {
  std::string answer;     // what came back, or what went wrong
  bool answered = false;  // a line came back, or the program closed the connection
  std::chrono::milliseconds after{0};
};
HandOverAnswer AskOverHandOver(const std::string& socket, const std::string& line,
                               std::chrono::milliseconds timeout);

// A left click through XTest at a point of a window (x, y from its top-left corner).
void ClickAt(_XDisplay* x, unsigned long window, int left, int top);

}  // namespace zibk
