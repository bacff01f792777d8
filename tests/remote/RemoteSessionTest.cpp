#include "platform/linux/remote/device/RemoteSession.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <cerrno>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/Version.h"
#include "tests/remote/ScriptedReceiver.h"

namespace platform::evdev_remote {
namespace {

using std::chrono::milliseconds;
using testing::ScriptedReceiver;
namespace b = button;

const TimePoint kStart = TimePoint(std::chrono::seconds(1000));
TimePoint At(int ms) { return kStart + milliseconds(ms); }

// The loop a session runs on, with a clock the script moves on.
class ScriptedLoop : public SessionLoop {
 public:
  void WatchDevice(int fd) override { deviceFd = fd; }
  void WatchInputDir(int fd) override { dirFd = fd; }
  void SetTimer(std::optional<TimePoint> due) override { timer = due; }
  TimePoint Now() override { return now; }
  int deviceFd = -1, dirFd = -1;
  std::optional<TimePoint> timer;
  TimePoint now = kStart;
};

// One thing the user, the remote or the system does, at a time in milliseconds.
struct Step {
  enum Kind {
    kPress,
    kRelease,
    kTurnOn,
    kTurnOff,
    kExclusive,
    kUnplug,
    kPlug,        // `error`: what opening the new node gives
    kPermit,      // the node opens from now on; `on`: the input folder tells of it
    kOtherGrabs,  // `on`: another program holds the grab
    kOverflow,    // the session's buffer overflowed
    kPressWhileGrabbing,
  } kind;
  int atMs;
  unsigned code = 0;
  bool on = false;
  int error = 0;
};
Step Press(int ms, unsigned code) { return {Step::kPress, ms, code}; }
Step Release(int ms) { return {Step::kRelease, ms}; }  // whatever is held
Step TurnOn(int ms) { return {Step::kTurnOn, ms}; }
Step TurnOff(int ms) { return {Step::kTurnOff, ms}; }
Step Exclusive(int ms, bool on) { return {Step::kExclusive, ms, 0, on}; }
Step Unplug(int ms) { return {Step::kUnplug, ms}; }
Step Plug(int ms, int error = 0) { return {Step::kPlug, ms, 0, false, error}; }
Step Permit(int ms, bool folderTells) { return {Step::kPermit, ms, 0, folderTells}; }
Step OtherGrabs(int ms, bool on) { return {Step::kOtherGrabs, ms, 0, on}; }
Step Overflow(int ms) { return {Step::kOverflow, ms}; }
// The press lands just before the session's next grab, after it looked at the key state.
Step PressWhileGrabbing(int ms, unsigned code) { return {Step::kPressWhileGrabbing, ms, code}; }

struct Report {
  int atMs;
  int button;
  bool down;
  friend bool operator==(const Report&, const Report&) = default;
  friend std::ostream& operator<<(std::ostream& os, const Report& r) {
    return os << "(" << r.button << ", " << (r.down ? "True" : "False") << ") at " << r.atMs;
  }
};

// The receiver's node when the script begins.
struct Node {
  bool present = true;
  int openError = 0;
  bool monotonicClock = true;
};

struct Row {
  const char* name;
  Node node;
  std::vector<Step> steps;
  std::vector<Report> sink;  // what the session hands on
  bool grabbedAtEnd;
  std::vector<std::string> notices;  // the lines on standard error
};

struct Outcome {
  std::vector<Report> sink;
  bool grabbed = false;
};

// Plays a script as the event loop would: the session's timer fires at its time whenever that
// comes before the next step, and the session reads the node whenever it has something.
Outcome Play(const Row& row, ScriptedReceiver& node) {
  node.present = row.node.present;
  node.openError = row.node.openError;
  node.monotonicClock = row.node.monotonicClock;
  ScriptedLoop loop;
  RemoteSession session(loop, node.NewSource());
  Outcome outcome;
  const auto sink = [&](int button, bool down) {
    outcome.sink.push_back({static_cast<int>((loop.now - kStart) / milliseconds(1)), button, down});
  };
  const auto runUntil = [&](TimePoint until) {
    while (loop.timer && *loop.timer <= until) {
      loop.now = *std::exchange(loop.timer, std::nullopt);
      session.TimerDue();
      if (loop.timer && *loop.timer <= loop.now) {
        ADD_FAILURE() << "the timer was set again for a time already come: a busy loop";
        loop.timer.reset();
      }
    }
    loop.now = until;
  };
  const auto deviceReadable = [&] {
    if (loop.deviceFd >= 0) session.DeviceReadable();
  };
  const auto folderChanged = [&] {
    if (loop.dirFd >= 0) {
      session.InputDirChanged();
    } else {
      node.changed = false;  // nobody was watching
    }
  };
  for (const Step& step : row.steps) {
    runUntil(At(step.atMs));
    switch (step.kind) {
      case Step::kPress:
        if (node.Emit(loop.now, step.code, 1)) deviceReadable();
        break;
      case Step::kRelease:
        for (const unsigned held : std::set<unsigned>(node.keysDown())) {
          if (node.Emit(loop.now, held, 0)) deviceReadable();
        }
        break;
      case Step::kTurnOn:
        session.Start(sink);
        break;
      case Step::kTurnOff:
        session.Stop();
        break;
      case Step::kExclusive:
        session.SetExclusive(step.on);
        break;
      case Step::kUnplug:
        node.Unplug();
        deviceReadable();  // a hung-up node is readable
        break;
      case Step::kPlug:
        node.openError = step.error;
        node.Plug();
        folderChanged();
        break;
      case Step::kPermit:
        node.openError = 0;
        node.changed = step.on;
        if (step.on) folderChanged();
        break;
      case Step::kOtherGrabs:
        node.otherGrabs = step.on;
        break;
      case Step::kOverflow:
        node.Overflow();
        break;
      case Step::kPressWhileGrabbing:
        node.PressWhileGrabbing(loop.now, step.code);
        break;
    }
    // What the step itself made the session do may have left events for it.
    while (node.readable() && loop.deviceFd >= 0) session.DeviceReadable();
  }
  runUntil(At(100000));
  outcome.grabbed = session.grabbed();
  return outcome;
}

std::string Lines(const std::vector<std::string>& notices) {
  std::string text;
  for (const std::string& notice : notices)
    text += std::string(build::kApplicationName) + ": " + notice + "\n";
  return text;
}

const std::string kRefusedNode =
    "cannot read /dev/input/event3 (permission denied); see the README's udev rule";
const std::string kGrabHeld =
    "exclusive mode refused: another program holds the receiver at /dev/input/event3; "
    "listening goes on shared";

// Every script also checks the two things a grab must never do to another reader of the node:
// be taken while a key is down, or leave that reader with a key down that has come up.
TEST(RemoteSession, FollowsTheReceiverThroughGrabsUnplugsAndRetries) {
  const Row rows[] = {
      {"exclusive on, Turn On while Menu is held: the grab waits for its release",
       {},
       {Exclusive(0, true), Press(0, KEY_MENU), TurnOn(100), Release(300),
        Press(400, KEY_PLAYPAUSE), Release(500)},
       {{500, b::kPlay, true}},
       true,
       {}},
      {"exclusive switched on while left is held: the grab waits, the hold ends",
       {},
       {TurnOn(0), Press(100, KEY_BACK), Exclusive(300, true), Release(900)},
       {{600, b::kLeftHold, true}, {900, b::kLeftHold, false}},
       true,
       {}},
      {"a press between the look at the keys and the grab: the grab is given back until it is up",
       {},
       {TurnOn(0), PressWhileGrabbing(100, KEY_MENU), Exclusive(100, true), Release(300)},
       {{300, b::kMenu, true}},
       true,
       {}},
      {"Turn Off while plus is held: the grab goes, and nothing of that press comes later",
       {},
       {TurnOn(0), Exclusive(0, true), Press(100, KEY_VOLUMEUP), TurnOff(200), Release(300),
        TurnOn(400), Press(500, KEY_MENU), Release(600)},
       {{100, b::kVolumePlus, true}, {600, b::kMenu, true}},
       true,
       {}},
      {"Turn Off after right's hold, Turn On while it is still held: no grab, no stray end",
       {},
       {TurnOn(0), Exclusive(0, true), Press(100, KEY_FORWARD), TurnOff(700), TurnOn(800),
        Release(1000)},
       {{600, b::kRightHold, true}},
       true,
       {}},
      {"unplugged while minus is held: the sink gets its release",
       {},
       {TurnOn(0), Exclusive(0, true), Press(100, KEY_VOLUMEDOWN), Unplug(200)},
       {{100, b::kVolumeMinus, true}, {200, b::kVolumeMinus, false}},
       false,
       {}},
      {"unplugged after left's hold: the hold ends",
       {},
       {TurnOn(0), Press(0, KEY_BACK), Unplug(700)},
       {{500, b::kLeftHold, true}, {700, b::kLeftHold, false}},
       false,
       {}},
      {"unplugged during a click, plugged in again: the click is lost, the new node is grabbed",
       {},
       {TurnOn(0), Exclusive(0, true), Press(100, KEY_MENU), Unplug(200), Plug(300),
        Press(400, KEY_PLAYPAUSE), Release(500)},
       {{500, b::kPlay, true}},
       true,
       {}},
      {"a new node refused at first opens at a retry once udev has set its permissions",
       {.present = false},
       {TurnOn(0), Exclusive(0, true), Plug(100, EACCES), Permit(250, false), Press(400, KEY_MENU),
        Release(500)},
       {{500, b::kMenu, true}},
       true,
       {}},
      {"a node refused through every retry is said once; a later permission change opens it",
       {.present = false},
       {TurnOn(0), Plug(100, EACCES), TurnOff(2500), TurnOn(2600), Permit(3000, true),
        Press(3100, KEY_MENU), Release(3200)},
       {{3200, b::kMenu, true}},
       false,
       {kRefusedNode}},
      {"another program holds the grab: said once; taken once it lets go and the keys are up",
       {},
       {TurnOn(0), OtherGrabs(0, true), Exclusive(10, true), Exclusive(20, false),
        Exclusive(30, true), OtherGrabs(100, false), Press(200, KEY_MENU), Release(300)},
       {{300, b::kMenu, true}},
       true,
       {kGrabHeld}},
      {"a node that keeps its own clock: the hold is timed on the loop's",
       {.monotonicClock = false},
       {TurnOn(0), Press(0, KEY_MENU), Release(700)},
       {{500, b::kMenuHold, true}},
       false,
       {}},
      {"events lost while right is held: the hold ends when the key state says it is up",
       {},
       {TurnOn(0), Press(0, KEY_FORWARD), Overflow(600), Release(700)},
       {{500, b::kRightHold, true}, {700, b::kRightHold, false}},
       false,
       {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ScriptedReceiver node;
    ::testing::internal::CaptureStderr();
    const Outcome outcome = Play(row, node);
    const std::string notices = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(outcome.sink, row.sink);
    EXPECT_EQ(outcome.grabbed, row.grabbedAtEnd);
    EXPECT_EQ(notices, Lines(row.notices));
    EXPECT_FALSE(node.grabbedMidPress()) << "the grab was taken while a key was down";
    EXPECT_EQ(node.keysDownForSecondReader(), node.keysDown())
        << "a second reader of the node keeps a key down";
  }
}

}  // namespace
}  // namespace platform::evdev_remote
