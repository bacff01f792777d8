// The application's receiver code (discovery, decoding, grab, hotplug) listening to the real
// driver, run by a plain poll loop instead of the GUI's event loop.
#include <linux/input.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/linux/remote/device/EvdevDevice.h"
#include "platform/linux/remote/device/PollLoop.h"
#include "platform/linux/remote/device/RemoteDecoder.h"
#include "platform/linux/remote/device/RemoteSession.h"
#include "tests/kernel/Checks.h"
#include "tests/kernel/DecoyDevice.h"

namespace zibk {
namespace {

namespace remote = platform::evdev_remote;
namespace code = platform::evdev_remote::button;
using remote::RemoteEvent;

struct Report {
  RemoteEvent event;
  Clock::time_point at;
};

// One listener as the application has it: a session on a loop, its reports collected.
class Listener {
 public:
  Listener() { loop_.Attach(session_); }

  remote::RemoteSession& session() noexcept { return session_; }
  remote::PollLoop& loop() noexcept { return loop_; }

  void Start() {
    session_.Start([this](int button, bool down) {
      reports_.push_back({{button, down}, Clock::now()});
    });
  }

  // Runs the loop until `count` reports have come (at most `timeout`), then a little longer to
  // catch any report too many. Returns the reports and forgets them.
  std::vector<Report> Collect(std::size_t count, Millis timeout = Millis{2000}) {
    loop_.RunUntil([&] { return reports_.size() >= count; }, timeout);
    loop_.RunFor(Millis{200});
    return std::exchange(reports_, {});
  }

  bool RunUntil(const std::function<bool()>& done, Millis timeout = kNodeTimeout) {
    return loop_.RunUntil(done, timeout);
  }

 private:
  remote::PollLoop loop_;
  remote::RemoteSession session_{loop_};
  std::vector<Report> reports_;
};

std::string Describe(const std::vector<RemoteEvent>& events) {
  if (events.empty()) return "nothing";
  std::string text;
  for (const RemoteEvent& e : events) {
    if (!text.empty()) text += ' ';
    text += "(" + std::to_string(e.button) + (e.down ? ",T)" : ",F)");
  }
  return text;
}

std::vector<RemoteEvent> Events(const std::vector<Report>& reports) {
  std::vector<RemoteEvent> events;
  for (const Report& r : reports) events.push_back(r.event);
  return events;
}

void ExpectEvents(const std::vector<Report>& reports, const std::vector<RemoteEvent>& expected,
                  const std::string& what) {
  const auto got = Events(reports);
  Expect(got == expected, what + " gave " + Describe(got) + ", not " + Describe(expected));
}

// Holds a button while the listener runs, then lets it go.
void Hold(FakeReceiver& receiver, Listener& listener, IrButton button, Millis duration) {
  HoldButton(receiver, button, duration, [&] { listener.loop().RunFor(kRepeatGap); });
}

std::size_t Count(const std::vector<KeyEvent>& events, int value) {
  return static_cast<std::size_t>(std::count_if(
      events.begin(), events.end(), [&](const KeyEvent& e) { return e.value == value; }));
}

// A second reader of the receiver's node shows when the driver really pressed and released the
// button. On a busy host the guest may stall, and the driver's release then comes later than the
// remote's frames say; a check that saw that has not tested the code and goes again.
class Witness {
 public:
  explicit Witness(const std::string& node) : reader_(node) {}

  // How long the button was down, from the events that came since the last call.
  Millis DownFor() {
    const auto events = reader_.Drain();
    const auto down =
        std::find_if(events.begin(), events.end(), [](const KeyEvent& e) { return e.value == 1; });
    const auto up =
        std::find_if(events.begin(), events.end(), [](const KeyEvent& e) { return e.value == 0; });
    if (Count(events, 1) != 1 || Count(events, 0) != 1 || up < down) {
      throw TimingSlipped("the driver let a button go in the middle: " + zibk::Describe(events));
    }
    return std::chrono::duration_cast<Millis>(up->at - down->at);
  }

  void Drain() { reader_.Drain(); }

 private:
  EvdevReader reader_;
};

}  // namespace

std::string CheckReceiverFound() {
  Listener listener;
  // Only the ids tell a receiver: a device with its name and keys but another product is not one.
  DecoyDevice decoy("Apple Computer, Inc. IR Receiver", kApple, 0x0250);
  Expect(WaitForNode(kApple, 0x0250, kNodeTimeout).has_value(), "the decoy has no node");
  Expect(remote::FindReceiverNodes("/dev/input").empty(), "the decoy was taken for a receiver");
  Expect(!listener.session().Available(), "a receiver was available with none plugged in");

  for (const std::uint16_t product : remote::kReceiverProducts) {
    FakeReceiver receiver(product);
    receiver.Plug();
    const std::string node = ReceiverNode(product);
    const auto found = remote::FindReceiverNodes("/dev/input");
    Expect(found == std::vector<std::string>{node}, "with receiver " + Hex(product) + " at " +
                                                        node + " discovery found " +
                                                        std::to_string(found.size()) + " nodes");
    Expect(listener.session().Available(), "receiver " + Hex(product) + " was not available");
    receiver.Unplug();
    Expect(WaitForNoNode(kApple, product, kNodeTimeout), "the node stayed after unplugging");
  }
  Expect(!listener.session().Available(), "a receiver was available after unplugging");
  return "receivers 05ac:8240, 8241, 8242, 8243 and 1440 are found by their ids, each alone; a "
         "device with the receiver's name and other ids is not";
}

std::string CheckClicksAndHolds() {
  FakeReceiver receiver(kReceiver);
  receiver.Plug();
  Witness witness(ReceiverNode());
  Listener listener;
  listener.Start();
  Expect(listener.RunUntil([&] { return listener.session().hasDevice(); }),
         "listening did not open the receiver");

  struct PressCase {
    const char* what;
    IrButton button;
    Millis framesFor;  // how long the remote sends frames; 0 for a single frame
    std::vector<RemoteEvent> expected;
    bool centre = false;  // the aluminium remote's two-frame centre button instead
  };
  constexpr Millis kOneFrame{0};
  // Down for about 375 ms: 250 ms of frames, then the driver's 1/8 s.
  constexpr Millis kLongClick{250};
  constexpr Millis kHold{900};
  const PressCase cases[] = {
      {"a Menu click", IrButton::Menu, kOneFrame, {{code::kMenu, true}}},
      {"a Play click", IrButton::Play, kOneFrame, {{code::kPlay, true}}},
      {"a right click", IrButton::Right, kOneFrame, {{code::kRight, true}}},
      {"a left click", IrButton::Left, kOneFrame, {{code::kLeft, true}}},
      {"a plus click",
       IrButton::Plus,
       kOneFrame,
       {{code::kVolumePlus, true}, {code::kVolumePlus, false}}},
      {"a minus click",
       IrButton::Minus,
       kOneFrame,
       {{code::kVolumeMinus, true}, {code::kVolumeMinus, false}}},
      {"a centre click", IrButton::Play, kOneFrame, {{code::kPlay, true}}, true},
      {"a 375 ms press of right", IrButton::Right, kLongClick, {{code::kRight, true}}},
      {"holding right",
       IrButton::Right,
       kHold,
       {{code::kRightHold, true}, {code::kRightHold, false}}},
      {"holding left", IrButton::Left, kHold, {{code::kLeftHold, true}, {code::kLeftHold, false}}},
      {"holding Menu", IrButton::Menu, kHold, {{code::kMenuHold, true}}},
      {"holding Play", IrButton::Play, kHold, {{code::kPlaySleep, true}}},
      {"holding plus",
       IrButton::Plus,
       kHold,
       {{code::kVolumePlus, true}, {code::kVolumePlus, false}}},
  };

  int slips = 0;
  for (const PressCase& c : cases) {
    for (int attempt = 1;; ++attempt) {
      try {
        const auto pressed = Clock::now();
        if (c.centre) {
          receiver.SendCentrePress();
        } else if (c.framesFor == kOneFrame) {
          receiver.SendPress(c.button);
        } else {
          Hold(receiver, listener, c.button, c.framesFor);
        }
        const auto lastFrame = Clock::now();
        const auto reports = listener.Collect(c.expected.size());
        const Millis downFor = witness.DownFor();
        const bool hold = c.framesFor >= remote::kHoldThreshold;
        if (!hold && downFor > c.framesFor + Millis{125} + kLateGap) {
          throw TimingSlipped("the driver released " + std::string(c.what) + " after " +
                              std::to_string(downFor.count()) + " ms");
        }
        ExpectEvents(reports, c.expected, c.what);
        if (hold) {
          // A hold reports at the threshold, while the button is still down.
          const auto after = std::chrono::duration_cast<Millis>(reports.front().at - pressed);
          const bool timed = c.expected.front().button != code::kVolumePlus;
          Expect(!timed || after >= remote::kHoldThreshold,
                 std::string(c.what) + " reported after " + std::to_string(after.count()) +
                     " ms, before the hold threshold");
          Expect(reports.front().at < lastFrame,
                 std::string(c.what) + " reported only after the button came up");
        }
        break;
      } catch (const TimingSlipped&) {
        if (attempt == 4) throw;
        ++slips;
        // Let the driver release what it holds and forget what came of the slipped go.
        listener.loop().RunFor(Millis{400});
        listener.Collect(0);
        witness.Drain();
      }
    }
  }
  return "clicks of all six buttons and the centre button, a 375 ms press, and 900 ms holds of "
         "right, left, Menu, Play and plus give the expected remote events; holds report at the "
         "threshold while the button is down" +
         (slips > 0 ? " (the guest stalled; cases went again " + std::to_string(slips) + " times)"
                    : std::string());
}

std::string CheckGrab() {
  FakeReceiver receiver(kReceiver);
  receiver.Plug();
  const std::string node = ReceiverNode();
  EvdevReader other(node);
  Listener listener;
  listener.Start();
  Expect(listener.RunUntil([&] { return listener.session().hasDevice(); }),
         "listening did not open the receiver");

  listener.session().SetExclusive(true);
  Expect(listener.session().grabbed(), "exclusive mode took no grab");
  Expect(!other.Grab(true), "a second reader could grab the node too");
  receiver.SendPress(IrButton::Menu);
  ExpectEvents(listener.Collect(1), {{code::kMenu, true}}, "a click while grabbed");
  auto leaked = other.ReadFor(Millis{100});
  Expect(leaked.empty(), "a second reader saw " + zibk::Describe(leaked) + " through the grab");

  listener.session().SetExclusive(false);
  Expect(!listener.session().grabbed(), "switching exclusive mode off kept the grab");
  receiver.SendPress(IrButton::Menu);
  ExpectEvents(listener.Collect(1), {{code::kMenu, true}}, "a click after the grab");
  auto seen = other.ReadFor(Millis{100});
  Expect(Count(seen, 1) == 1 && Count(seen, 0) == 1,
         "after the grab a second reader saw " + zibk::Describe(seen));

  // Switched on in the middle of a hold: the grab waits until the button is up, so the second
  // reader sees the release of what it saw pressed.
  bool grabbedWhileDown = false;
  int frames = 0;
  HoldButton(receiver, IrButton::Left, Millis{800}, [&] {
    if (++frames == 3) listener.session().SetExclusive(true);
    listener.loop().RunFor(kRepeatGap);
    grabbedWhileDown = grabbedWhileDown || listener.session().grabbed();
  });
  ExpectEvents(listener.Collect(2), {{code::kLeftHold, true}, {code::kLeftHold, false}},
               "holding left");
  Expect(!grabbedWhileDown, "the grab was taken while a button was down");
  Expect(listener.session().grabbed(), "the grab was not taken once the button came up");
  seen = other.ReadFor(Millis{100});
  Expect(Count(seen, 1) == 1 && Count(seen, 0) == 1,
         "the second reader saw " + zibk::Describe(seen) + " of the hold");
  receiver.SendPress(IrButton::Play);
  ExpectEvents(listener.Collect(1), {{code::kPlay, true}}, "a click while grabbed");
  leaked = other.ReadFor(Millis{100});
  Expect(leaked.empty(), "a second reader saw " + zibk::Describe(leaked) + " through the grab");

  listener.session().Stop();
  receiver.SendPress(IrButton::Play);
  seen = other.ReadUntilRelease(Millis{1000});
  Expect(Count(seen, 1) == 1 && Count(seen, 0) == 1,
         "after listening stopped a second reader saw " + zibk::Describe(seen));
  return "while grabbed a second reader sees nothing and cannot grab; switched off or stopped, "
         "it sees clicks again; switched on mid-hold, the grab waits for the release";
}

std::string CheckHotplug() {
  Listener listener;
  listener.Start();
  // Listening with no receiver waits without waking.
  auto cpu = CpuTime();
  listener.loop().RunFor(Millis{500});
  auto used = CpuTime() - cpu;
  Expect(used < Millis{100},
         "waiting for a receiver used " + std::to_string(used.count()) + " ms of CPU in 500 ms");

  FakeReceiver receiver(kReceiver);
  receiver.Plug();
  Expect(listener.RunUntil([&] { return listener.session().hasDevice(); }),
         "a receiver plugged in while listening was not opened");
  receiver.SendPress(IrButton::Menu);
  ExpectEvents(listener.Collect(1), {{code::kMenu, true}}, "a click after plugging in");

  receiver.Unplug();
  Expect(listener.RunUntil([&] { return !listener.session().hasDevice(); }),
         "the unplugged receiver was not let go");
  Expect(listener.session().listening(), "unplugging stopped listening");
  cpu = CpuTime();
  listener.loop().RunFor(Millis{500});
  used = CpuTime() - cpu;
  Expect(used < Millis{100}, "after unplugging, 500 ms of listening used " +
                                 std::to_string(used.count()) + " ms of CPU");

  receiver.Plug();
  Expect(listener.RunUntil([&] { return listener.session().hasDevice(); }),
         "the receiver plugged in again was not opened");
  receiver.SendPress(IrButton::Play);
  ExpectEvents(listener.Collect(1), {{code::kPlay, true}}, "a click after plugging in again");

  // Pulled out in the middle of a hold: the hold ends, and listening goes on.
  std::vector<Report> reports;
  HoldButton(receiver, IrButton::Right, Millis{700}, [&] { listener.loop().RunFor(kRepeatGap); });
  receiver.Unplug();
  reports = listener.Collect(2);
  ExpectEvents(reports, {{code::kRightHold, true}, {code::kRightHold, false}},
               "unplugging in the middle of a right hold");
  receiver.Plug();
  Expect(listener.RunUntil([&] { return listener.session().hasDevice(); }),
         "the receiver plugged in after a hold was not opened");
  receiver.SendPress(IrButton::Left);
  ExpectEvents(listener.Collect(1), {{code::kLeft, true}}, "a click after that");
  return "a receiver plugged in while listening is opened; unplugged, it is let go without a "
         "busy loop (< 100 ms CPU per 500 ms); plugged in again, its clicks come; a hold cut by "
         "unplugging ends with its release";
}

namespace {

// One line from the other end of a pipe, waiting at most `timeout`.
std::string ReadLine(int fd, Millis timeout) {
  std::string line;
  const auto end = Clock::now() + timeout;
  while (Clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    const auto left = std::chrono::duration_cast<Millis>(end - Clock::now()).count();
    if (poll(&p, 1, static_cast<int>(left) + 1) <= 0) continue;
    char c = 0;
    if (read(fd, &c, 1) != 1) break;
    if (c == '\n') return line;
    line += c;
  }
  return line.empty() ? "no answer from the listener" : line;
}

void WriteLine(int fd, const std::string& line) {
  const std::string text = line + "\n";
  if (write(fd, text.data(), text.size()) < 0) _exit(3);
}

// The listener of the permissions check, as a user without rights to the receiver's node until
// the parent gives them. Reports on `out`; never returns.
[[noreturn]] void ListenAsUser(int out) {
  if (setgid(65534) != 0 || setuid(65534) != 0) {
    WriteLine(out, "cannot become an ordinary user");
    _exit(1);
  }
  Listener listener;
  listener.Start();
  WriteLine(out, "listening");
  if (!listener.RunUntil([&] { return listener.session().hasDevice(); }, Millis{10000})) {
    WriteLine(out, "the receiver was not opened once its node allowed it");
    _exit(1);
  }
  WriteLine(out, "opened");
  const auto reports = listener.Collect(1);
  const auto got = Events(reports);
  WriteLine(out, got == std::vector<RemoteEvent>{{code::kMenu, true}} ? "clicked"
                                                                      : "got " + Describe(got));
  _exit(0);
}

}  // namespace

std::string CheckNodeAllowedLater() {
  int pipeFds[2];
  Expect(pipe(pipeFds) == 0, "no pipe");
  const pid_t child = fork();
  Expect(child >= 0, "no fork");
  if (child == 0) {
    close(pipeFds[0]);
    ListenAsUser(pipeFds[1]);
  }
  close(pipeFds[1]);
  struct Reap {
    pid_t pid;
    int fd;
    ~Reap() {
      close(fd);
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  } reap{child, pipeFds[0]};
  const int from = pipeFds[0];

  std::string line = ReadLine(from, Millis{5000});
  Expect(line == "listening", "the listener said " + line);
  FakeReceiver receiver(kReceiver);
  receiver.Plug();
  const std::string node = ReceiverNode();
  // Longer than the listener's retries of a refused node: only the change of permissions, which
  // the folder watch sees, can bring it to open the node now.
  const Millis refusedFor =
      remote::RemoteSession::kRetryInterval * (remote::RemoteSession::kRetries + 2);
  pollfd early{from, POLLIN, 0};
  Expect(poll(&early, 1, static_cast<int>(refusedFor.count())) == 0,
         "while the node refused the user, the listener said " + ReadLine(from, Millis{100}));
  Expect(chmod(node.c_str(), 0644) == 0, "chmod of " + node + " failed");
  line = ReadLine(from, Millis{5000});
  Expect(line == "opened", "after the node allowed reading: " + line);
  receiver.SendPress(IrButton::Menu);
  line = ReadLine(from, Millis{5000});
  Expect(line == "clicked", "a click on the node opened late: " + line);
  return "a listener without rights to a new receiver node waits; once the node allows reading "
         "(after its retries ran out) it opens it and gets its clicks";
}

}  // namespace zibk
