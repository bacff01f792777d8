// The guest's check of the real program: it runs under Xvfb with the receiver played through
// uhid, the real driver between them; a remote press must reach the focused X client as the
// row's key, and a server grab held by another client after a layout change must not stop the
// program's main loop, nor must one during a hand-over that shows the main window. Prints one
// "ZIBK: PASS|FAIL" line.
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "tests/kernel/EvdevNode.h"
#include "tests/kernel/FakeReceiver.h"
#include "tests/kernel/program/ProgramRun.h"
#include "tests/keys/xsession/FocusedWindow.h"
#include "tests/keys/xsession/XvfbServer.h"

namespace {

using zibk::Clock;
using zibk::Millis;

constexpr const char* kName = "real-program-keys";
constexpr const char* kMainTitle = "ZibTVRemote v.1.0.0";
constexpr std::uint16_t kApple = 0x05ac;
constexpr std::uint16_t kReceiver = 0x8242;
// Volume plus pressed is the table's tenth row, volume minus pressed its twelfth. 'z' is on
// another key in de than in us: the press during the grab must use the keymap that the switch
// before the grab brought.
constexpr const char* kSettings = "Key10\nz\nKey12\nz\n";
// How long the other client holds the server, and how soon the main loop must answer meanwhile.
constexpr Millis kGrab{2000};
constexpr Millis kAnswerBound{500};
// Generous: the guest runs under software emulation, the program with its sanitizers.
constexpr Millis kStartTimeout{90000};
constexpr Millis kKeyTimeout{10000};

struct Failed : std::runtime_error {
  using std::runtime_error::runtime_error;
};

void Expect(bool ok, const std::string& why) {
  if (!ok) throw Failed(why);
}

long Ms(Clock::duration d) { return std::chrono::duration_cast<Millis>(d).count(); }

std::string KeysymName(std::uint32_t keysym) {
  const char* name = XKeysymToString(keysym);
  return name != nullptr ? name : "keysym " + std::to_string(keysym);
}

// The focus back on the check's window: the program's own windows may have taken it.
void Focus(Display* x, Window window) {
  XSetInputFocus(x, window, RevertToParent, CurrentTime);
  XSync(x, False);
  Window now = 0;
  int revert = 0;
  XGetInputFocus(x, &now, &revert);
  Expect(now == window, "the check's window could not take the focus");
}

// Events already there (focus changes, the keymap notices) are not the press's.
void DrainKeys(zib_testing::FocusedWindow& client) {
  while (const auto key = client.NextKey(Millis{0})) {
    Expect(false, "a key came before the remote was pressed: " + KeysymName(key->keysym));
  }
}

// The press and release the row typed, waiting at most `timeout` for them.
zib_testing::SeenKey ExpectRowKey(zib_testing::FocusedWindow& client, std::uint32_t keysym,
                                  Millis timeout, const std::string& when) {
  const auto press = client.NextKey(timeout);
  Expect(press.has_value(), when + ": the focused client got no key within " +
                                std::to_string(timeout.count()) + " ms");
  Expect(press->press, when + ": the first key event was a release");
  Expect(press->keysym == keysym, when + ": the focused client got " + KeysymName(press->keysym) +
                                      " (key code " + std::to_string(press->keyCode) + "), not " +
                                      KeysymName(keysym));
  const auto release = client.NextKey(Millis{2000});
  Expect(release.has_value() && !release->press && release->keyCode == press->keyCode,
         when + ": the key was not released");
  return *press;
}

void RunCommand(const std::string& program, const std::string& display, const char* argument) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const char* argv[] = {program.c_str(), "-display", display.c_str(), argument, nullptr};
    ::execv(program.c_str(), const_cast<char* const*>(argv));
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  Expect(WIFEXITED(status) && WEXITSTATUS(status) == 0, program + " " + argument + " failed");
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A hand-over during another client's server grab: the answer at once, and the main loop still
// running after the reopen it asked for (a second line is answered too); once the grab ends the
// main window is shown with the focus. The guest has no window manager: the focus is set
// directly.
std::string ReopenDuringGrab(Display* x, const std::string& display, const std::string& socket,
                             Window main) {
  Display* grabber = XOpenDisplay(display.c_str());
  Expect(grabber != nullptr, "the grabbing client cannot open the display");
  XGrabServer(grabber);
  XSync(grabber, False);
  const auto grabbed = Clock::now();
  const auto reopen = zibk::AskOverHandOver(socket, "reopen\n", kAnswerBound);
  const auto after = zibk::AskOverHandOver(socket, "ping\n", kGrab - Millis{700});
  const bool stillGrabbed = Clock::now() - grabbed < kGrab;
  std::this_thread::sleep_for(kGrab - (Clock::now() - grabbed));
  XUngrabServer(grabber);
  XSync(grabber, False);
  XCloseDisplay(grabber);
  Expect(stillGrabbed, "the guest was too slow: the grab ended before the socket was asked");
  Expect(reopen.answered && reopen.answer == "ok\n",
         "during the server grab the hand-over got \"" + reopen.answer + "\" after " +
             std::to_string(reopen.after.count()) + " ms");
  Expect(after.answered && after.answer.empty() && after.after <= kAnswerBound,
         "during the server grab the main loop did not answer the line after the reopen within " +
             std::to_string(kAnswerBound.count()) + " ms (got \"" + after.answer + "\" after " +
             std::to_string(after.after.count()) + " ms)");
  Window focus = 0;
  const auto ungrabbed = Clock::now();
  for (int revert = 0; Clock::now() - ungrabbed < kKeyTimeout;
       std::this_thread::sleep_for(Millis{100})) {
    XGetInputFocus(x, &focus, &revert);
    if (focus == main) break;
  }
  XWindowAttributes attributes;
  XGetWindowAttributes(x, main, &attributes);
  Expect(attributes.map_state == IsViewable, "the main window is not shown after the grab");
  Expect(focus == main, "the main window does not have the focus after the grab");
  return "reopen answered in " + std::to_string(reopen.after.count()) + " ms during a grab, " +
         std::to_string(after.after.count()) + " ms for the line after it";
}

std::string Run(std::unique_ptr<zibk::ProgramRun>& run, const std::string& program) {
  std::string error;
  const auto server = zib_testing::XvfbServer::Start(error);
  Expect(server != nullptr, error);
  Display* x = XOpenDisplay(server->Display().c_str());
  Expect(x != nullptr, "cannot open the guest's X display");

  zibk::FakeReceiver receiver(kReceiver);
  receiver.Plug();
  const auto node = zibk::WaitForNode(kApple, kReceiver, Millis{10000});
  Expect(node.has_value(), "the receiver has no evdev node: the driver did not bind");

  auto client = zib_testing::FocusedWindow::Open(server->Display(), error);
  Expect(client != nullptr, error);
  Window clientWindow = 0;
  int revert = 0;
  XGetInputFocus(x, &clientWindow, &revert);

  const std::string home = "/tmp/home";
  ::mkdir(home.c_str(), 0755);
  ::mkdir((home + "/.config").c_str(), 0755);
  {
    std::ofstream settings(home + "/.config/ZibRemote.ini");
    settings << kSettings;
  }
  run = std::make_unique<zibk::ProgramRun>(program, server->Display(), home, "/tmp/program.log");
  auto& programRun = *run;

  const auto started = Clock::now();
  const Window main = programRun.WaitForWindow(x, kMainTitle, kStartTimeout);
  Expect(main != 0, programRun.Running() ? "the main window titled \"" + std::string(kMainTitle) +
                                               "\" did not appear within " +
                                               std::to_string(kStartTimeout.count() / 1000) + " s"
                                         : "the program ended before its main window appeared");
  const long startMs = Ms(Clock::now() - started);
  // The window is its content, 50 high while collapsed, under the menu bar; Turn On is at
  // (20, 14), 145 by 20, in the content.
  XWindowAttributes attributes;
  XGetWindowAttributes(x, main, &attributes);
  const int bar = attributes.height - 50;
  Expect(bar >= 0, "the main window is " + std::to_string(attributes.height) + " high");
  std::this_thread::sleep_for(Millis{1000});  // past the window's first paint
  zibk::ClickAt(x, main, 20 + 72, bar + 14 + 10);
  const auto clicked = Clock::now();
  while (!programRun.HasOpen(*node) && Clock::now() - clicked < Millis{10000})
    std::this_thread::sleep_for(Millis{100});
  Expect(programRun.HasOpen(*node),
         "after the click on Turn On the program did not open " + *node + " within 10 s");

  // The press on the us layout.
  Focus(client->Connection(), clientWindow);
  DrainKeys(*client);
  const auto pressed = Clock::now();
  receiver.SendPress(zibk::IrButton::Plus);
  const auto first = ExpectRowKey(*client, XK_z, kKeyTimeout, "volume up on us");
  const long firstMs = Ms(first.when - pressed);

  const std::string socket = programRun.HandOverSocket();
  Expect(!socket.empty(), "the lock record " + programRun.LockFile() + " names no socket");
  const auto idle = zibk::AskOverHandOver(socket, "reopen\n", Millis{5000});
  Expect(idle.answered && idle.answer == "ok\n",
         "the hand-over socket answered \"" + idle.answer + "\" with no grab held");

  // A layout change, then another client holds the server while the remote is pressed.
  RunCommand("/usr/bin/setxkbmap", server->Display(), "de");
  std::this_thread::sleep_for(Millis{1000});
  Focus(client->Connection(), clientWindow);
  XSync(x, False);
  while (client->NextKey(Millis{300})) {
  }
  Display* grabber = XOpenDisplay(server->Display().c_str());
  Expect(grabber != nullptr, "the grabbing client cannot open the display");
  XGrabServer(grabber);
  XSync(grabber, False);
  const auto grabbed = Clock::now();
  std::this_thread::sleep_for(Millis{200});
  receiver.SendPress(zibk::IrButton::Minus);
  std::this_thread::sleep_for(Millis{300});
  // Not "reopen": showing the window waits for the server (the framework's activation syncs),
  // which a grab would hold up whatever the key road does. Any other line is read by the main
  // loop and answered by closing the connection.
  const auto during = zibk::AskOverHandOver(socket, "ping\n", kGrab - Millis{700});
  const bool stillGrabbed = Clock::now() - grabbed < kGrab;
  std::this_thread::sleep_for(kGrab - (Clock::now() - grabbed));
  XUngrabServer(grabber);
  XSync(grabber, False);
  const auto ungrabbed = Clock::now();
  Expect(stillGrabbed, "the guest was too slow: the grab ended before the socket was asked");
  Expect(during.answered && during.answer.empty(),
         "during the server grab after the layout change the main loop did not answer the "
         "hand-over socket (got \"" +
             during.answer + "\" after " + std::to_string(during.after.count()) + " ms)");
  Expect(during.after <= kAnswerBound,
         "during the server grab after the layout change the main loop answered the hand-over "
         "socket only after " +
             std::to_string(during.after.count()) + " ms (more than " +
             std::to_string(kAnswerBound.count()) + ")");
  const auto second = ExpectRowKey(*client, XK_z, kKeyTimeout, "volume down during the grab on de");
  Expect(second.when >= ungrabbed, "the key arrived while the grab was held");
  const long afterUngrabMs = Ms(second.when - ungrabbed);
  XCloseDisplay(grabber);
  Expect(!client->AnyKeyDown(), "a key is still down on the X server");

  const std::string reopened = ReopenDuringGrab(x, server->Display(), socket, main);

  const auto status = programRun.Terminate(Millis{30000});
  Expect(status.has_value(), "the program did not end within 30 s of SIGTERM");
  Expect(*status == 0,
         "the program ended with status " + std::to_string(*status) + " after SIGTERM");
  const std::string saved = ReadFile(programRun.SettingsFile());
  Expect(
      saved.find("Key10\nz\n") != std::string::npos && saved.find("Key14\n") != std::string::npos,
      "the settings file was not saved at the quit:\n" + saved);
  XCloseDisplay(x);

  return "main window after " + std::to_string(startMs) + " ms; Turn On, volume up typed z in " +
         std::to_string(firstMs) + " ms; socket answered in " + std::to_string(idle.after.count()) +
         " ms idle, " + std::to_string(during.after.count()) +
         " ms during a 2 s grab after setxkbmap de; volume down's z " +
         std::to_string(afterUngrabMs) + " ms after the ungrab; " + reopened +
         "; SIGTERM: status 0, saved";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PROGRAM\n", argv[0]);
    return 2;
  }
  std::unique_ptr<zibk::ProgramRun> run;
  try {
    const std::string what = Run(run, argv[1]);
    std::printf("ZIBK: PASS %s (%s)\n", kName, what.c_str());
    return 0;
  } catch (const std::exception& e) {
    std::printf("ZIBK: FAIL %s: %s\n", kName, e.what());
    if (run != nullptr) std::printf("What the program wrote:\n%s", run->LogTail().c_str());
    std::fflush(stdout);
    return 1;
  }
}
