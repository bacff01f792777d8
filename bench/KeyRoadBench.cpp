// How long a key takes to reach the focused X client: the program's road from a remote event
// (scripted remote -> main loop -> mapping -> Window1::buttonpressed -> PresskeyMBS -> XTest),
// a bare XTest press of the same key, and `xdotool key` for the same key, in one run on a
// virtual X server of its own. The first three take turns in rounds, so that a change in the
// machine's load falls on all of them alike; the last line compares the program's road with a
// bare press, median against median.
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
#include <optional>
#include <string>
#include <vector>

#include "bench/ProgramUnderBench.h"
#include "platform/KeyPress.h"
#include "platform/Plugins.h"
#include "platform/Runtime.h"
#include "platform/linux/Backends.h"
#include "tests/keys/xsession/FocusedWindow.h"
#include "tests/keys/xsession/XvfbServer.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using zib_testing::FocusedWindow;

constexpr int kWarmUp = 10;
// Presses of one road in a row before the next road takes its turn.
constexpr int kRound = 50;
// Play pressed: the remote event (3, True), which the table's first row (ID 1) answers.
constexpr int kRemoteButtonPlay = 3;
constexpr bool kRemoteDown = true;
constexpr int kPlayRow = 0;

struct Figures {
  std::string road;
  std::vector<double> micros;
  int lost = 0;
};

// Runs `press` `count` times (after `warmUp` presses that are not counted) and times each from
// the call to the focused client's KeyPress of `keyCode`; the release is read off before the
// next one. The times go to `f`.
void Measure(Figures& f, int warmUp, int count, FocusedWindow& window, unsigned keyCode,
             const std::function<void()>& press, const std::function<void()>& after = {}) {
  for (int i = -warmUp; i < count; ++i) {
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

  // The program itself, as it runs for a user: Qt on the offscreen platform (no window needs
  // drawing), the remote scripted, the keys through the real system output to this display.
  zib_bench::ProgramUnderBench program;
  platform::Plugins::SetKeyOutput(platform::linux_backends::NewSystemKeyOutput());
  // A key output that does not reach this display would make every press wait out its timeout.
  if (platform::Plugins::Keys().KeyCodeFor('p') != static_cast<int>(keyCode)) {
    std::fprintf(stderr, "key_road_bench: the system key output does not type on %s\n",
                 server->Display().c_str());
    return 1;
  }
  if (!program.ListenWithRow(kPlayRow, "p", error)) {
    std::fprintf(stderr, "key_road_bench: %s\n", error.c_str());
    return 1;
  }
  // The same key output alone, as the engine uses it (key code, then press): what is left of the
  // program's road once this is taken off is the program's own share (main loop, mapping, table).
  auto keys = platform::linux_backends::NewSystemKeyOutput();
  Display* bare = XOpenDisplay(server->Display().c_str());

  struct Road {
    Figures figures;
    std::function<void()> press;
  };
  std::vector<Road> roads;
  roads.push_back({{"remote event -> Window1 -> XTest -> client", {}, 0}, [&] {
                     program.remote().Inject(kRemoteButtonPlay, kRemoteDown);
                     platform::Runtime::ProcessPendingEvents();
                   }});
  roads.push_back({{"XTest key output alone (KeyCodeFor + Press)", {}, 0}, [&] {
                     platform::KeyStroke stroke;
                     stroke.charCode = 'p';
                     stroke.keyCode = keys->KeyCodeFor(stroke.charCode);
                     keys->Press(stroke);
                   }});
  roads.push_back({{"bare XTest press", {}, 0}, [&] {
                     XTestFakeKeyEvent(bare, keyCode, True, CurrentTime);
                     XTestFakeKeyEvent(bare, keyCode, False, CurrentTime);
                     XFlush(bare);
                   }});
  for (int done = 0; done < presses; done += kRound) {
    for (Road& road : roads)
      Measure(road.figures, done == 0 ? kWarmUp : 0, std::min(kRound, presses - done), *window,
              keyCode, road.press);
  }
  XCloseDisplay(bare);
  if (program.Unhandled()) {
    std::fprintf(stderr, "key_road_bench: the program raised: %s\n", program.Unhandled()->c_str());
    return 1;
  }

  std::vector<Figures> results;
  for (const Road& road : roads) results.push_back(road.figures);

  const std::string xdotool = zib_testing::FindProgram("xdotool");
  if (xdotool.empty()) {
    std::fprintf(stderr, "key_road_bench: xdotool is not installed; its row is left out\n");
  } else if (xdotoolPresses > 0) {
    pid_t child = 0;
    Figures xdotoolFigures{"xdotool key p (process start included)", {}, 0};
    Measure(
        xdotoolFigures, kWarmUp, xdotoolPresses, *window, keyCode,
        [&] {
          const char* args[] = {xdotool.c_str(), "key", "p", nullptr};
          if (::posix_spawn(&child, xdotool.c_str(), nullptr, nullptr,
                            const_cast<char* const*>(args), environ) != 0)
            child = 0;
        },
        [&] {
          if (child > 0) ::waitpid(child, nullptr, 0);
        });
    results.push_back(xdotoolFigures);
  }

  std::printf("Key \"p\" to a focused X client on Xvfb %s, latency in microseconds\n",
              server->Display().c_str());
  std::printf("%-44s %6s %10s %10s %10s %10s %5s\n", "road", "n", "median", "p95", "min", "max",
              "lost");
  for (const Figures& f : results) Print(f);
  const double bareMedian = Percentile(roads[2].figures.micros, 0.5);
  if (bareMedian > 0)
    std::printf("program's road / bare XTest press, median against median: %.2f\n",
                Percentile(roads[0].figures.micros, 0.5) / bareMedian);
  return 0;
}
