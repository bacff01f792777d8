// How long a key takes to reach the focused X client: the program's road from a remote event,
// a bare XTest press of the same key, and `xdotool key` for the same key, in one run on a
// virtual X server of its own.
//
//   key_road_bench [presses] [xdotool-presses]
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/AppleRemote.h"
#include "platform/KeyPress.h"
#include "platform/linux/Backends.h"
#include "tests/keys/xsession/FocusedWindow.h"
#include "tests/keys/xsession/XvfbServer.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using zib_testing::FocusedWindow;

constexpr int kWarmUp = 10;
constexpr int kRemoteButtonPlay = 1;  // any button: the road is the same for all of them

// The remote event's road to the key output. Today it goes to the platform key output directly,
// doing what the keystroke engine does for a row with Key "p" and no modifiers: look the key code
// up, then press. When the core is built, route it as the program does instead:
//   Window1::Instance()->buttonpressed(eventID)   (with the table's row for that button)
platform::RemoteReceiver::Sink RemoteEventRoad(platform::KeyOutput& keys) {
  return [&keys](int /*button*/, bool down) {
    if (!down) return;
    platform::KeyStroke stroke;
    stroke.charCode = 'p';
    stroke.keyCode = keys.KeyCodeFor(stroke.charCode);
    keys.Press(stroke);
  };
}

struct Figures {
  std::string road;
  std::vector<double> micros;
  int lost = 0;
};

// Runs `press` `count` times (after a warm-up) and times each from the call to the focused
// client's KeyPress of `keyCode`; the release is read off before the next one.
Figures Measure(const std::string& road, int count, FocusedWindow& window, unsigned keyCode,
                const std::function<void()>& press, const std::function<void()>& after = {}) {
  Figures f{road, {}, 0};
  for (int i = -kWarmUp; i < count; ++i) {
    const auto start = Clock::now();
    press();
    std::optional<zib_testing::SeenKey> down;
    while ((down = window.NextKey(std::chrono::seconds(5))) &&
           !(down->press && down->keyCode == keyCode)) {
    }
    while (auto up = window.NextKey(std::chrono::seconds(5)))
      if (!up->press && up->keyCode == keyCode) break;
    if (after) after();
    if (i < 0) continue;
    if (!down) {
      ++f.lost;
      continue;
    }
    f.micros.push_back(std::chrono::duration<double, std::micro>(down->when - start).count());
  }
  return f;
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const auto at = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
  return v[std::min(at, v.size() - 1)];
}

void Print(const Figures& f) {
  const auto [lo, hi] = std::minmax_element(f.micros.begin(), f.micros.end());
  std::printf("%-44s %6zu %10.1f %10.1f %10.1f %10.1f %5d\n", f.road.c_str(), f.micros.size(),
              Percentile(f.micros, 0.5), Percentile(f.micros, 0.95), f.micros.empty() ? 0.0 : *lo,
              f.micros.empty() ? 0.0 : *hi, f.lost);
}

}  // namespace

int main(int argc, char** argv) {
  const int presses = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
  const int xdotoolPresses = argc > 2 ? std::max(0, std::atoi(argv[2])) : 100;

  std::string error;
  auto server = zib_testing::XvfbServer::Start(error);
  if (!server) {
    std::fprintf(stderr, "key_road_bench: %s\n", error.c_str());
    return 1;
  }
  auto window = FocusedWindow::Open(server->Display(), error);
  if (!window) {
    std::fprintf(stderr, "key_road_bench: %s\n", error.c_str());
    return 1;
  }
  ::setenv("DISPLAY", server->Display().c_str(), 1);
  ::unsetenv("WAYLAND_DISPLAY");
  const unsigned keyCode = window->KeyCodeOf(XK_p);

  std::vector<Figures> results;

  auto keys = platform::linux_backends::NewSystemKeyOutput();
  const auto road = RemoteEventRoad(*keys);
  results.push_back(Measure("remote event -> KeyOutput (XTest) -> client", presses, *window,
                            keyCode, [&] { road(kRemoteButtonPlay, true); }));

  Display* bare = XOpenDisplay(server->Display().c_str());
  results.push_back(Measure("bare XTest press", presses, *window, keyCode, [&] {
    XTestFakeKeyEvent(bare, keyCode, True, CurrentTime);
    XTestFakeKeyEvent(bare, keyCode, False, CurrentTime);
    XFlush(bare);
  }));
  XCloseDisplay(bare);

  const std::string xdotool = zib_testing::FindProgram("xdotool");
  if (xdotool.empty()) {
    std::fprintf(stderr, "key_road_bench: xdotool is not installed; its row is left out\n");
  } else if (xdotoolPresses > 0) {
    pid_t child = 0;
    results.push_back(Measure(
        "xdotool key p (process start included)", xdotoolPresses, *window, keyCode,
        [&] {
          const char* args[] = {xdotool.c_str(), "key", "p", nullptr};
          if (::posix_spawn(&child, xdotool.c_str(), nullptr, nullptr,
                            const_cast<char* const*>(args), environ) != 0)
            child = 0;
        },
        [&] {
          if (child > 0) ::waitpid(child, nullptr, 0);
        }));
  }

  std::printf("Key \"p\" to a focused X client on Xvfb %s, latency in microseconds\n",
              server->Display().c_str());
  std::printf("%-44s %6s %10s %10s %10s %10s %5s\n", "road", "n", "median", "p95", "min", "max",
              "lost");
  for (const Figures& f : results) Print(f);
  return 0;
}
