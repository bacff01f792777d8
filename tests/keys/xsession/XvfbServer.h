#pragma once

#include <memory>
#include <string>

#include <sys/types.h>

namespace zib_testing {

// A virtual X server of our own, on the first free display number, for as long as the object
// lives.
class XvfbServer {
 public:
  // Whether the server resets (drops its atoms, properties and resources) whenever its last
  // client leaves, as an X server does by default. Tests want the server that stays as it is.
  enum class Reset { kNever, kWhenLastClientLeaves };

  // Null, with the reason in `error`, when Xvfb is not installed or does not start.
  static std::unique_ptr<XvfbServer> Start(std::string& error, Reset reset = Reset::kNever);
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  const std::string& Display() const noexcept { return display_; }  // ":N"

  // Stops the server's process, so that it answers nothing until Resume: a client that waits for
  // an answer meanwhile hangs.
  void Pause();
  void Resume();

 private:
  XvfbServer(pid_t pid, std::string display) : pid_(pid), display_(std::move(display)) {}
  pid_t pid_;
  std::string display_;
};

// The full path of a program on $PATH, empty when there is none.
std::string FindProgram(const std::string& name);

// Why a test that switches layouts cannot run.
inline constexpr const char* kNoSetxkbmap =
    "setxkbmap is not installed (Debian package x11-xkb-utils)";

// Loads a keymap of these layouts ("de", "us,de") into the X server at `display`, as a user's
// layout switch does, with `setxkbmap` (the program's path). `command` gets what was run, for
// messages; true when it succeeded.
bool SetLayouts(const std::string& setxkbmap, const std::string& display,
                const std::string& layouts, std::string& command);

}  // namespace zib_testing
