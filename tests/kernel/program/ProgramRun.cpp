#include "tests/kernel/program/ProgramRun.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace zibk {
namespace {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::milliseconds;

std::string TitleOf(Display* x, Window window) {
  const Atom netName = XInternAtom(x, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(x, "UTF8_STRING", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(x, window, netName, 0, 1024, False, utf8, &type, &format, &count, &after,
                         &data) == Success &&
      data != nullptr) {
    title.assign(reinterpret_cast<const char*>(data), count);
  }
  if (data != nullptr) XFree(data);
  return title;
}

bool Viewable(Display* x, Window window) {
  XWindowAttributes attributes;
  return XGetWindowAttributes(x, window, &attributes) != 0 && attributes.map_state == IsViewable;
}

}  // namespace

ProgramRun::ProgramRun(const std::string& program, const std::string& display,
                       const std::string& home, const std::string& log)
    : home_(home), log_(log) {
  const std::string runtime = home + "/runtime";
  ::mkdir(home.c_str(), 0755);
  ::mkdir((home + "/.config").c_str(), 0755);
  ::mkdir(runtime.c_str(), 0700);
  pid_ = ::fork();
  if (pid_ != 0) return;
  const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ::dup2(out, 1);
  ::dup2(out, 2);
  ::setenv("DISPLAY", display.c_str(), 1);
  ::setenv("QT_QPA_PLATFORM", "xcb", 1);
  ::setenv("HOME", home.c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
  ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  ::unsetenv("WAYLAND_DISPLAY");
  const char* argv[] = {program.c_str(), nullptr};
  ::execv(program.c_str(), const_cast<char* const*>(argv));
  std::fprintf(stderr, "cannot run %s: %s\n", program.c_str(), std::strerror(errno));
  ::_exit(127);
}

ProgramRun::~ProgramRun() {
  if (!Running()) return;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
}

bool ProgramRun::Running() {
  if (pid_ <= 0) return false;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) == 0) return true;
  pid_ = -1;
  return false;
}

unsigned long ProgramRun::WaitForWindow(Display* x, const std::string& title, Millis timeout) {
  const auto end = Clock::now() + timeout;
  while (Clock::now() < end && Running()) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &count) != 0) {
      for (unsigned i = 0; i < count && found == 0; ++i)
        if (TitleOf(x, children[i]) == title && Viewable(x, children[i])) found = children[i];
      if (children != nullptr) XFree(children);
    }
    if (found != 0) return found;
    std::this_thread::sleep_for(Millis{200});
  }
  return 0;
}

bool ProgramRun::HasOpen(const std::string& path) {
  const std::string folder = "/proc/" + std::to_string(pid_) + "/fd";
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return false;
  bool open = false;
  while (const dirent* entry = ::readdir(dir)) {
    char target[256] = {};
    const std::string link = folder + "/" + entry->d_name;
    if (::readlink(link.c_str(), target, sizeof target - 1) > 0 && path == target) open = true;
  }
  ::closedir(dir);
  return open;
}

std::string ProgramRun::HandOverSocket() const {
  std::ifstream lock(LockFile());
  std::string line;
  while (std::getline(lock, line))
    if (line.rfind("socket=", 0) == 0) return line.substr(7);
  return {};
}

std::optional<int> ProgramRun::Terminate(Millis timeout) {
  if (pid_ <= 0) return std::nullopt;
  ::kill(pid_, SIGTERM);
  const auto end = Clock::now() + timeout;
  while (Clock::now() < end) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::this_thread::sleep_for(Millis{50});
  }
  return std::nullopt;
}

std::string ProgramRun::LogTail() const {
  std::ifstream in(log_);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  std::string tail;
  for (std::size_t i = lines.size() > 40 ? lines.size() - 40 : 0; i < lines.size(); ++i)
    tail += "  | " + lines[i] + "\n";
  return tail.empty() ? "  | (the program wrote nothing)\n" : tail;
}

HandOverAnswer AskOverHandOver(const std::string& socket, const std::string& line, Millis timeout) {
  HandOverAnswer result;
  const auto start = Clock::now();
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    result.answer = "connect: " + std::string(std::strerror(errno));
  } else if (::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
    result.answer = "write: " + std::string(std::strerror(errno));
  } else {
    const auto end = start + timeout;
    for (;;) {
      const auto left = std::chrono::duration_cast<Millis>(end - Clock::now()).count();
      pollfd p{fd, POLLIN, 0};
      if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) != 1) {
        if (result.answer.empty()) result.answer = "nothing";
        break;
      }
      char buffer[64];
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n <= 0) {
        result.answered = true;  // closed by the program
        break;
      }
      result.answer.append(buffer, static_cast<std::size_t>(n));
      if (result.answer.find('\n') != std::string::npos) {
        result.answered = true;
        break;
      }
    }
  }
  result.after = std::chrono::duration_cast<Millis>(Clock::now() - start);
  ::close(fd);
  return result;
}

void ClickAt(Display* x, unsigned long window, int left, int top) {
  int rootX = 0, rootY = 0;
  Window child = 0;
  XTranslateCoordinates(x, window, DefaultRootWindow(x), left, top, &rootX, &rootY, &child);
  XTestFakeMotionEvent(x, DefaultScreen(x), rootX, rootY, CurrentTime);
  XTestFakeButtonEvent(x, 1, True, CurrentTime);
  XTestFakeButtonEvent(x, 1, False, 30);
  XSync(x, False);
}

}  // namespace zibk
