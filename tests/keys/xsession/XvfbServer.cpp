#include "tests/keys/xsession/XvfbServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

namespace zib_testing {

std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

bool SetLayouts(const std::string& setxkbmap, const std::string& display,
                const std::string& layouts, std::string& command) {
  command = setxkbmap + " -display " + display + " -layout " + layouts;
  return std::system(command.c_str()) == 0;
}

std::unique_ptr<XvfbServer> XvfbServer::Start(std::string& error, Reset reset) {
  const std::string xvfb = FindProgram("Xvfb");
  if (xvfb.empty()) {
    error = "Xvfb is not installed (Debian package xvfb)";
    return nullptr;
  }
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    error = "cannot make a pipe for Xvfb";
    return nullptr;
  }
  const pid_t pid = ::fork();
  if (pid < 0) {
    error = "cannot start Xvfb";
    return nullptr;
  }
  if (pid == 0) {
    // The server writes the display number it took to fd 3 once it accepts clients.
    ::dup2(fds[1], 3);
    // The last argument ends the list early for a server that resets.
    const char* noReset = reset == Reset::kNever ? "-noreset" : nullptr;
    const char* argv[] = {xvfb.c_str(), "-displayfd", "3",          "-nolisten", "tcp",
                          "-screen",    "0",          "640x480x24", noReset,     nullptr};
    ::execv(xvfb.c_str(), const_cast<char* const*>(argv));
    ::_exit(127);
  }
  ::close(fds[1]);
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  char c = 0;
  while (::poll(&p, 1, 15000) == 1 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  ::close(fds[0]);
  if (number.empty()) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    error = "Xvfb did not start";
    return nullptr;
  }
  return std::unique_ptr<XvfbServer>(new XvfbServer(pid, ":" + number));
}

void XvfbServer::Pause() { ::kill(pid_, SIGSTOP); }

void XvfbServer::Resume() { ::kill(pid_, SIGCONT); }

XvfbServer::~XvfbServer() {
  ::kill(pid_, SIGCONT);  // a stopped server would not end on SIGTERM
  ::kill(pid_, SIGTERM);
  ::waitpid(pid_, nullptr, 0);
}

}  // namespace zib_testing
