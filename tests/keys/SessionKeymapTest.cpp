// The keymap the uinput keyboard's codes are chosen by, taken from a real session: a virtual X
// server whose layouts the test switches, and a headless Wayland compositor with no X server.
// The device itself cannot be made here; the kernel checks show its codes coming out.
#include <gtest/gtest.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <linux/input-event-codes.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/linux/keys/EvdevKeymap.h"
#include "platform/linux/keys/KeyMatcher.h"
#include "platform/linux/keys/uinput/UinputKeyboard.h"
#include "tests/keys/xsession/XvfbServer.h"

using platform::linux_keys::EvdevKeymap;
using platform::linux_keys::KeymapPlaces;
using platform::linux_keys::StartsComposing;
using zib_testing::FindProgram;
using zib_testing::XvfbServer;

namespace {

constexpr int kMax = platform::linux_keys::UinputKeyboard::kMaxKeyCode;
constexpr const char* kKeyboardUs = ZIB_KEYS_FIXTURES "/keyboard-us";

KeymapPlaces FileSaysUs() {
  KeymapPlaces places;
  places.keyboardConfigPath = kKeyboardUs;
  return places;
}

// What the uinput keyboard would press for z, y, - and a, and whether its key = (KEY_EQUAL)
// plain would be a dead key (the dead acute on de).
struct Codes {
  int z, y, minus, a;
  bool equalKeyIsDead;
  bool operator==(const Codes&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Codes& c) {
  return out << "z " << c.z << ", y " << c.y << ", - " << c.minus << ", a " << c.a
             << (c.equalKeyIsDead ? ", = key dead" : ", = key live");
}

Codes CodesOf(EvdevKeymap& keymap) {
  keymap.Update();
  return {keymap.EvdevCodeFor('z', kMax), keymap.EvdevCodeFor('y', kMax),
          keymap.EvdevCodeFor('-', kMax), keymap.EvdevCodeFor('a', kMax),
          StartsComposing(keymap.KeysymWith(KEY_EQUAL, {}))};
}

constexpr Codes kUs{KEY_Z, KEY_Y, KEY_MINUS, KEY_A, false};
constexpr Codes kDe{KEY_Y, KEY_Z, KEY_SLASH, KEY_A, true};
constexpr Codes kFr{KEY_W, KEY_Y, KEY_6, KEY_Q, false};

}  // namespace

// The file says us throughout; the server's layout, switched while the keymap is open, decides
// from the very next lookup, the active group of two layouts included.
TEST(SessionKeymap, FollowsTheXServersLayoutAndGroupNotTheFile) {
  std::string error;
  const auto server = XvfbServer::Start(error);
  if (!server) GTEST_SKIP() << error;
  const std::string setxkbmap = FindProgram("setxkbmap");
  if (setxkbmap.empty()) GTEST_SKIP() << zib_testing::kNoSetxkbmap;
  Display* user = XOpenDisplay(server->Display().c_str());
  ASSERT_NE(user, nullptr);

  KeymapPlaces places = FileSaysUs();
  places.xDisplay = server->Display();
  places.waylandDisplay = "no-such-compositor";  // the X server comes first
  const auto keymap = platform::linux_keys::OpenSessionKeymap(places, error);
  ASSERT_TRUE(keymap) << error;
  EXPECT_EQ(keymap->Source(), "the X server on " + server->Display());

  const struct {
    const char* layouts;  // loaded with setxkbmap; null: the same as before
    int lockedGroup;      // -1: as setxkbmap leaves it
    Codes codes;
  } steps[] = {
      {"us", -1, kUs},   {"de", -1, kDe},
      {"fr", -1, kFr},   {"us,de", 1, kDe},  // the second layout active
      {nullptr, 0, kUs},                     // and back to the first
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(std::string(step.layouts ? step.layouts : "same") + " group " +
                 std::to_string(step.lockedGroup));
    if (step.layouts != nullptr) {
      std::string command;
      ASSERT_TRUE(zib_testing::SetLayouts(setxkbmap, server->Display(), step.layouts, command))
          << command;
    }
    if (step.lockedGroup >= 0) {
      ASSERT_TRUE(XkbLockGroup(user, XkbUseCoreKbd, static_cast<unsigned>(step.lockedGroup)));
      XSync(user, False);
    }
    EXPECT_EQ(CodesOf(*keymap), step.codes);
  }
  XCloseDisplay(user);
}

TEST(SessionKeymap, WithNoSessionToAskTheFileDecides) {
  KeymapPlaces places;
  places.xDisplay = ":99999";
  places.waylandDisplay = "no-such-compositor";
  places.keyboardConfigPath = ZIB_KEYS_FIXTURES "/keyboard-de";
  std::string error;
  const auto keymap = platform::linux_keys::OpenSessionKeymap(places, error);
  ASSERT_TRUE(keymap) << error;
  EXPECT_EQ(keymap->Source(), "the keyboard layout \"de\" (nodeadkeys)");
  // nodeadkeys: the = key gives a plain acute.
  EXPECT_EQ(CodesOf(*keymap), (Codes{KEY_Y, KEY_Z, KEY_SLASH, KEY_A, false}));
}

namespace {

// A compositor of the test's own, on a socket in a runtime folder of its own. Its headless
// backend has no seat, so it runs as a window of a virtual X server, and its keyboard is the
// server's: it compiles its keymap from the layout that setxkbmap gave the server.
class Compositor {
 public:
  static std::unique_ptr<Compositor> Start(const std::string& xDisplay, std::string& error) {
    const std::string weston = FindProgram("weston");
    if (weston.empty()) {
      error = "weston is not installed (Debian package weston)";
      return nullptr;
    }
    char folder[] = "/tmp/zib-weston-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
      error = "cannot make a runtime folder";
      return nullptr;
    }
    std::unique_ptr<Compositor> compositor(new Compositor(folder));
    compositor->pid_ = ::fork();
    if (compositor->pid_ == 0) {
      ::setenv("XDG_RUNTIME_DIR", folder, 1);
      ::setenv("DISPLAY", xDisplay.c_str(), 1);
      ::unsetenv("WAYLAND_DISPLAY");
      const int log =
          ::open((std::string(folder) + "/weston.log").c_str(), O_WRONLY | O_CREAT, 0600);
      ::dup2(log, 1);
      ::dup2(log, 2);
      const char* argv[] = {weston.c_str(),
                            "--backend=x11-backend.so",
                            "--use-pixman",
                            "--socket=zib-test",
                            "--shell=fullscreen-shell.so",
                            "--no-config",
                            nullptr};
      ::execv(weston.c_str(), const_cast<char* const*>(argv));
      ::_exit(127);
    }
    // The socket appears once the compositor takes clients.
    for (int i = 0; i < 500 && !std::filesystem::exists(compositor->Socket()); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!std::filesystem::exists(compositor->Socket())) {
      error = "weston did not start; its log is in " + compositor->folder_;
      compositor->keepFolder_ = true;
      return nullptr;
    }
    return compositor;
  }

  ~Compositor() {
    if (pid_ > 0) {
      ::kill(pid_, SIGCONT);
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
    if (!keepFolder_) std::filesystem::remove_all(folder_);
  }

  // As WAYLAND_DISPLAY names it: a full path needs no runtime folder of the client's.
  std::string Socket() const { return folder_ + "/zib-test"; }
  void Pause() { ::kill(pid_, SIGSTOP); }

 private:
  explicit Compositor(std::string folder) : folder_(std::move(folder)) {}
  std::string folder_;
  pid_t pid_ = -1;
  bool keepFolder_ = false;
};

}  // namespace

// No X server of our own: the compositor's keymap decides, not the file; a compositor that then
// stops answering holds up no lookup.
TEST(SessionKeymap, WithoutAnXServerTheCompositorsKeymapDecides) {
  std::string error;
  const auto server = XvfbServer::Start(error);
  if (!server) GTEST_SKIP() << error;
  const std::string setxkbmap = FindProgram("setxkbmap");
  if (setxkbmap.empty()) GTEST_SKIP() << zib_testing::kNoSetxkbmap;
  std::string command;
  ASSERT_TRUE(zib_testing::SetLayouts(setxkbmap, server->Display(), "de", command)) << command;
  const auto compositor = Compositor::Start(server->Display(), error);
  if (!compositor) GTEST_SKIP() << error;
  ASSERT_TRUE(platform::linux_keys::NewWaylandEvdevKeymap(compositor->Socket(),
                                                          std::chrono::milliseconds{5000}, error))
      << error;
  KeymapPlaces places = FileSaysUs();
  places.waylandDisplay = compositor->Socket();
  places.waylandTimeout = std::chrono::milliseconds{5000};
  const auto keymap = platform::linux_keys::OpenSessionKeymap(places, error);
  ASSERT_TRUE(keymap) << error;
  EXPECT_EQ(keymap->Source(), "the Wayland compositor on \"" + compositor->Socket() + "\"");
  EXPECT_EQ(CodesOf(*keymap), kDe);

  compositor->Pause();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(CodesOf(*keymap), kDe);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds{100});
}

// A socket that takes the connection and never answers: the start gives up after its timeout.
TEST(SessionKeymap, ACompositorThatNeverAnswersCostsOnlyTheTimeout) {
  char folder[] = "/tmp/zib-mute-XXXXXX";
  ASSERT_NE(::mkdtemp(folder), nullptr);
  const std::string path = std::string(folder) + "/mute";
  const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  path.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 4), 0);

  std::string error;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(
      platform::linux_keys::NewWaylandEvdevKeymap(path, std::chrono::milliseconds{300}, error));
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds{250});
  EXPECT_LT(took, std::chrono::milliseconds{2000});
  EXPECT_NE(error.find("did not answer"), std::string::npos) << error;
  ::close(listener);
  std::filesystem::remove_all(folder);
}
