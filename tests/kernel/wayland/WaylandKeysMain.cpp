// The guest program of the Wayland session check: the application's uinput key output, with its
// keymap from the environment as the program finds it, types into a compositor that reads the
// keyboard through libinput; wev, the only window and so the one with the keyboard focus, prints
// the keysyms the session made of the keys. Or the XTest output types into XWayland, and xev, an
// X client and then the only window, prints what the X server made of them. Prints one
// "ZIBK: PASS|FAIL" line.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/KeyPress.h"
#include "platform/linux/keys/EvdevKeymap.h"
#include "platform/linux/keys/KeyOutputs.h"

namespace {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::milliseconds;

constexpr const char* kKeyboardName = "ZibRemote guest Wayland keyboard";

void Expect(bool ok, const std::string& why) {
  if (!ok) throw std::runtime_error(why);
}

// A client that prints the keys it is given (wev, xev) on a terminal of its own: writing to a
// terminal, it prints each event as it comes rather than when its output buffer fills.
class KeyPrinter {
 public:
  // `program`: "wev" or "xev".
  explicit KeyPrinter(const std::string& program) : xev_(program == "xev") {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    Expect(master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0,
           "no terminal for " + program + " (is /dev/pts mounted?)");
    const std::string terminal = ::ptsname(master_);
    pid_ = ::fork();
    Expect(pid_ >= 0, "cannot start " + program);
    if (pid_ == 0) {
      const int slave = ::open(terminal.c_str(), O_RDWR);
      if (slave < 0) ::_exit(127);
      ::dup2(slave, STDOUT_FILENO);
      ::dup2(slave, STDERR_FILENO);
      if (xev_)
        ::execlp("xev", "xev", "-event", "keyboard", "-event", "focus",
                 static_cast<char*>(nullptr));
      else
        ::execlp("wev", "wev", "-f", "wl_keyboard", static_cast<char*>(nullptr));
      ::_exit(127);
    }
  }
  ~KeyPrinter() {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    ::close(master_);
  }
  KeyPrinter(const KeyPrinter&) = delete;
  KeyPrinter& operator=(const KeyPrinter&) = delete;

  // Whether the client was given the keyboard focus within `timeout`.
  bool Focused(Millis timeout) {
    return LineWith(xev_ ? "FocusIn event" : "wl_keyboard] enter", timeout).has_value();
  }

  // The next line that contains `what`, waiting at most `timeout`; the lines before it are
  // passed over.
  std::optional<std::string> LineWith(const std::string& what, Millis timeout) {
    const auto end = Clock::now() + timeout;
    for (;;) {
      for (auto newline = buffer_.find('\n'); newline != std::string::npos;
           newline = buffer_.find('\n')) {
        std::string line = buffer_.substr(0, newline);
        buffer_.erase(0, newline + 1);
        seen_ += line + "\n";
        if (line.find(what) != std::string::npos) return line;
      }
      const auto left = std::chrono::duration_cast<Millis>(end - Clock::now()).count();
      pollfd readable{master_, POLLIN, 0};
      if (left <= 0 || ::poll(&readable, 1, static_cast<int>(left)) <= 0) return std::nullopt;
      char chunk[4096];
      const ssize_t got = ::read(master_, chunk, sizeof chunk);
      if (got <= 0) return std::nullopt;  // the client ended
      for (ssize_t i = 0; i < got; ++i)
        if (chunk[i] != '\r') buffer_ += chunk[i];
    }
  }

  // The keysym name of the next key pressed, with its release after it; empty when none came.
  std::string NextPressedKeysym(Millis timeout) {
    if (xev_) {
      // "    state 0x0, keycode 52 (keysym 0x7a, z), same_screen YES,"
      if (!LineWith("KeyPress event", timeout)) return {};
      const auto sym = LineWith("(keysym ", timeout);
      if (!sym || !LineWith("KeyRelease event", timeout)) return {};
      const auto start = sym->find(", ", sym->find("(keysym ")) + 2;
      return sym->substr(start, sym->find(')', start) - start);
    }
    if (!LineWith("state: 1", timeout)) return {};
    const auto sym = LineWith("sym:", timeout);
    if (!sym || !LineWith("state: 0", timeout)) return {};
    const auto start = sym->find_first_not_of(' ', sym->find("sym:") + 4);
    return sym->substr(start, sym->find(' ', start) - start);
  }

  // What the client printed so far, for a message.
  std::string Seen() const { return seen_.substr(seen_.size() > 1500 ? seen_.size() - 1500 : 0); }

 private:
  bool xev_;
  int master_ = -1;
  pid_t pid_ = -1;
  std::string buffer_;
  std::string seen_;
};

std::string CommandOutput(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char chunk[4096];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
      out.append(chunk, got);
    ::pclose(pipe);
  }
  return out;
}

// Until the compositor has taken the keyboard into its seat, what it types is lost.
void WaitForCompositorToUseKeyboard(Millis timeout) {
  const auto end = Clock::now() + timeout;
  while (CommandOutput("swaymsg -t get_inputs").find(kKeyboardName) == std::string::npos) {
    Expect(Clock::now() < end, "the compositor did not take in the uinput keyboard");
    std::this_thread::sleep_for(Millis{200});
  }
}

struct Row {
  int charCode;
  const char* keysym;  // what the session must make of the row's key, on every layout here
};
constexpr Row kRows[] = {{'z', "z"}, {'y', "y"}, {'-', "minus"}, {'a', "a"}};

// The key codes the output gives for the rows, to see when it has taken in a new keymap.
std::string Codes(platform::KeyOutput& output) {
  std::string codes;
  for (const auto& row : kRows) codes += std::to_string(output.KeyCodeFor(row.charCode)) + " ";
  return codes;
}

// The evdev codes the session's keymap gives the rows, to see when the session has switched.
std::string Codes(platform::linux_keys::EvdevKeymap& keymap) {
  keymap.Update();
  std::string codes;
  for (const auto& row : kRows)
    codes += std::to_string(keymap.EvdevCodeFor(row.charCode, 255)) + " ";
  return codes;
}

// `layouts`: the one the session has now, then those to switch to. `road`: the uinput output with
// its keymap from "wayland" (the compositor) or "x" (the X server, XWayland here), typing into
// wev; or "xtest", the XTest output on XWayland, typing into xev.
std::string Run(const std::vector<std::string>& layouts, const std::string& road) {
  const bool xtest = road == "xtest";
  const std::string source = road == "wayland" ? "the Wayland compositor" : "the X server";
  Expect(std::getenv("WAYLAND_DISPLAY") != nullptr, "WAYLAND_DISPLAY is not set");
  const auto places = platform::linux_keys::KeymapPlacesOfThisSession();
  std::string error;
  const auto keymap = platform::linux_keys::OpenSessionKeymap(places, error);
  Expect(keymap != nullptr && keymap->Source().rfind(source, 0) == 0,
         "the keymap would come from " + (keymap ? keymap->Source() : error) + ", not " + source);

  const std::string client = xtest ? "xev" : "wev";
  KeyPrinter printer(client);
  Expect(printer.Focused(Millis{60000}),
         client + " never had the keyboard focus; it printed:\n" + printer.Seen());

  std::unique_ptr<platform::KeyOutput> output;
  if (xtest) {
    output = platform::linux_keys::NewXTestKeyOutput(nullptr, error);
    Expect(output != nullptr, "the XTest key output was not made: " + error);
  } else {
    platform::linux_keys::UinputKeyboard::Options options;
    options.name = kKeyboardName;
    output = platform::linux_keys::NewUinputKeyOutput(options, places, error);
    Expect(output != nullptr, "the uinput key output was not made: " + error);
    WaitForCompositorToUseKeyboard(Millis{30000});
  }

  for (const auto& layout : layouts) {
    if (&layout != &layouts.front()) {
      const std::string command = "swaymsg input type:keyboard xkb_layout " + layout;
      // The uinput output must see the switch itself; XTest's keys are read by whatever keymap
      // the X server gives them, so there the server's having switched is what is waited for.
      const std::string before = xtest ? Codes(*keymap) : Codes(*output);
      Expect(std::system((command + " >/dev/null").c_str()) == 0, command + " failed");
      const auto end = Clock::now() + Millis{10000};
      while ((xtest ? Codes(*keymap) : Codes(*output)) == before) {
        Expect(Clock::now() < end, (xtest ? "the X server" : "the key output") +
                                       std::string(" never saw the switch to ") + layout);
        std::this_thread::sleep_for(Millis{50});
      }
    }
    for (const auto& row : kRows) {
      platform::KeyStroke stroke;
      stroke.charCode = row.charCode;
      stroke.keyCode = output->KeyCodeFor(row.charCode);
      output->Press(stroke);
      const std::string got = printer.NextPressedKeysym(Millis{10000});
      Expect(got == row.keysym, "on " + layout + ": row " + static_cast<char>(row.charCode) +
                                    " arrived as " + (got.empty() ? "nothing" : got) + ", not " +
                                    row.keysym + "; " + client + " printed:\n" + printer.Seen());
    }
  }
  std::string shown;
  for (const auto& layout : layouts) shown += (shown.empty() ? "" : ", then ") + layout;
  if (xtest)
    return "through XTest on " + keymap->Source() +
           ", rows z, y, - and a arrived in an X client as z, y, minus and a on " + shown +
           " (switched in the compositor while the key output stayed open)";
  return "with the keymap from " + keymap->Source() +
         ", rows z, y, - and a arrived in the focused client as z, y, minus and a on " + shown +
         " (switched while the key output stayed open)";
}

}  // namespace

// Usage: zibk-wayland-keys NAME wayland|x|xtest LAYOUT... (see Run)
int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s NAME wayland|x|xtest LAYOUT...\n", argv[0]);
    return 2;
  }
  const auto start = Clock::now();
  std::string outcome;
  bool ok = false;
  try {
    outcome = Run(std::vector<std::string>(argv + 3, argv + argc), argv[2]);
    ok = true;
  } catch (const std::exception& e) {
    outcome = e.what();
  }
  const auto ms = std::chrono::duration_cast<Millis>(Clock::now() - start).count();
  std::printf("ZIBK: %s %s (%lld ms): %s\n", ok ? "PASS" : "FAIL", argv[1],
              static_cast<long long>(ms), outcome.c_str());
  return ok ? 0 : 1;
}
