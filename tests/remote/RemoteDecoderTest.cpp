#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <ostream>
#include <string>
#include <vector>

#include "platform/linux/remote/device/RemoteDecoder.h"

namespace platform::evdev_remote {
namespace {

using std::chrono::milliseconds;

constexpr int kUp = 0, kDown = 1, kRepeat = 2;

// One thing that happens to the decoder, at a time in milliseconds after the start.
struct Step {
  enum Kind { kKey, kDropped, kUnplug } kind;
  int atMs;
  unsigned code = 0;
  int value = 0;
  bool stillDown = false;  // kDropped: the key state that EVIOCGKEY gives after the gap
};
Step Key(int atMs, unsigned code, int value) { return {Step::kKey, atMs, code, value}; }
Step Dropped(int atMs, bool stillDown) { return {Step::kDropped, atMs, 0, 0, stillDown}; }
Step Unplug(int atMs) { return {Step::kUnplug, atMs}; }

struct Report {
  int atMs;
  int button;
  bool down;
  friend bool operator==(const Report&, const Report&) = default;
  friend std::ostream& operator<<(std::ostream& os, const Report& r) {
    return os << "(" << r.button << ", " << (r.down ? "True" : "False") << ") at " << r.atMs;
  }
};

TimePoint At(int ms) { return TimePoint(milliseconds(ms)); }

// Plays the steps as an event loop would: the decoder's timer fires at its deadline whenever
// that comes before the next step.
std::vector<Report> Play(const std::vector<Step>& steps) {
  RemoteDecoder decoder;
  std::vector<Report> reports;
  auto record = [&](int atMs, const std::vector<RemoteEvent>& events) {
    for (const RemoteEvent& e : events) reports.push_back({atMs, e.button, e.down});
  };
  auto fireTimersUntil = [&](int ms) {
    const auto due = decoder.Deadline();
    if (!due || *due > At(ms)) return;
    const int dueMs = static_cast<int>((*due - At(0)) / milliseconds(1));
    record(dueMs, decoder.TimerDue(*due));
    EXPECT_FALSE(decoder.Deadline()) << "the timer at the deadline decides the hold";
  };
  unsigned pressed = 0;  // the key the fake kernel holds down, for the dropped-events step
  for (const Step& step : steps) {
    fireTimersUntil(step.atMs);
    switch (step.kind) {
      case Step::kKey:
        if (step.value == kDown) pressed = step.code;
        record(step.atMs, decoder.Key(At(step.atMs), step.code, step.value));
        break;
      case Step::kDropped:
        record(step.atMs, decoder.Resync(At(step.atMs), [&](unsigned code) {
          return step.stillDown && code == pressed;
        }));
        break;
      case Step::kUnplug:
        record(step.atMs, decoder.DeviceGone());
        break;
    }
  }
  fireTimersUntil(100000);
  return reports;
}

// The driver repeats from 250 ms after the press, every 33 ms, and releases 125 ms after the
// last infrared frame. Holding a key for `ms` looks like this.
std::vector<Step> Held(unsigned code, int fromMs, int forMs) {
  std::vector<Step> steps{Key(fromMs, code, kDown)};
  for (int t = 250; t < forMs; t += 33) steps.push_back(Key(fromMs + t, code, kRepeat));
  steps.push_back(Key(fromMs + forMs, code, kUp));
  return steps;
}

std::vector<Step> Then(std::vector<Step> a, const std::vector<Step>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct Case {
  std::string name;
  std::vector<Step> steps;
  std::vector<Report> expected;
  friend void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
};

class DecoderTable : public testing::TestWithParam<Case> {};

TEST_P(DecoderTable, GivesTheRemoteEvents) {
  EXPECT_EQ(Play(GetParam().steps), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, DecoderTable,
    testing::Values(
        // Clicks report once, at release; holds at the threshold.
        Case{"PlayClick", Held(KEY_PLAYPAUSE, 0, 300), {{300, 3, true}}},
        Case{"EnterIsPlay", Held(KEY_ENTER, 0, 150), {{150, 3, true}}},
        Case{"MenuJustUnderThreshold", Held(KEY_MENU, 0, 499), {{499, 2, true}}},
        Case{"MenuJustOverThreshold", Held(KEY_MENU, 0, 501), {{500, 8, true}}},
        Case{"MenuAtThresholdIsHold", Held(KEY_MENU, 0, 500), {{500, 8, true}}},
        Case{"PlayHoldIsSleepOnce", Held(KEY_PLAYPAUSE, 0, 2000), {{500, 9, true}}},
        Case{"EnterHoldIsSleep", Held(KEY_ENTER, 0, 700), {{500, 9, true}}},
        Case{"RightClick", Held(KEY_FORWARD, 0, 499), {{499, 4, true}}},
        Case{"LeftClick", Held(KEY_BACK, 0, 125), {{125, 5, true}}},
        Case{"RightHoldDownAndUp", Held(KEY_FORWARD, 0, 1200), {{500, 6, true}, {1200, 6, false}}},
        Case{"LeftHoldDownAndUp", Held(KEY_BACK, 0, 501), {{500, 7, true}, {501, 7, false}}},
        Case{"ClickAfterHoldIsTimedAfresh",
             Then(Held(KEY_FORWARD, 0, 900), Held(KEY_FORWARD, 1000, 300)),
             {{500, 6, true}, {900, 6, false}, {1300, 4, true}}},
        // Volume: press and release, however long, never a hold; autorepeat adds nothing.
        Case{"VolumePlusPressRelease",
             Held(KEY_VOLUMEUP, 0, 1500),
             {{0, 0, true}, {1500, 0, false}}},
        Case{"VolumeMinusPressRelease",
             Held(KEY_VOLUMEDOWN, 10, 130),
             {{10, 1, true}, {140, 1, false}}},
        Case{"RepeatWithoutPressIgnored",
             {Key(0, KEY_MENU, kRepeat), Key(40, KEY_MENU, kRepeat)},
             {}},
        Case{"ReleaseWithoutPressIgnored", {Key(0, KEY_PLAYPAUSE, kUp)}, {}},
        Case{"OtherKeysIgnored", Held(KEY_A, 0, 800), {}},
        // A second button while one is down is ignored, press and release alike.
        Case{"SecondButtonDuringClick",
             {Key(0, KEY_FORWARD, kDown), Key(100, KEY_MENU, kDown), Key(200, KEY_MENU, kUp),
              Key(300, KEY_FORWARD, kUp)},
             {{300, 4, true}}},
        Case{"SecondButtonDuringHold",
             {Key(0, KEY_BACK, kDown), Key(600, KEY_VOLUMEUP, kDown), Key(700, KEY_VOLUMEUP, kUp),
              Key(900, KEY_BACK, kUp)},
             {{500, 7, true}, {900, 7, false}}},
        Case{"SecondButtonOutlastsFirst",
             {Key(0, KEY_MENU, kDown), Key(100, KEY_FORWARD, kDown), Key(200, KEY_MENU, kUp),
              Key(900, KEY_FORWARD, kUp)},
             {{200, 2, true}}},
        Case{"SecondButtonDuringVolume",
             {Key(0, KEY_VOLUMEDOWN, kDown), Key(50, KEY_PLAYPAUSE, kDown),
              Key(900, KEY_PLAYPAUSE, kUp), Key(1000, KEY_VOLUMEDOWN, kUp)},
             {{0, 1, true}, {1000, 1, false}}},
        // Dropped events: a button that came up in the gap ends without a click.
        Case{"DroppedClickIsLost", {Key(0, KEY_MENU, kDown), Dropped(300, false)}, {}},
        Case{"DroppedButStillDownGoesOn",
             {Key(0, KEY_MENU, kDown), Dropped(300, true), Key(800, KEY_MENU, kUp)},
             {{500, 8, true}}},
        Case{"DroppedEndsRightHold",
             {Key(0, KEY_FORWARD, kDown), Dropped(700, false)},
             {{500, 6, true}, {700, 6, false}}},
        Case{"DroppedEndsVolume",
             {Key(0, KEY_VOLUMEUP, kDown), Dropped(200, false)},
             {{0, 0, true}, {200, 0, false}}},
        Case{"ReleaseAfterDropIgnored",
             {Key(0, KEY_BACK, kDown), Dropped(300, false), Key(350, KEY_BACK, kUp)},
             {}},
        // Unplugged with a button down: what has a False gets it, nothing is left pending.
        Case{"UnplugMidRightHold",
             {Key(0, KEY_FORWARD, kDown), Unplug(700)},
             {{500, 6, true}, {700, 6, false}}},
        Case{"UnplugMidVolume",
             {Key(0, KEY_VOLUMEDOWN, kDown), Unplug(100)},
             {{0, 1, true}, {100, 1, false}}},
        Case{"UnplugBeforeThresholdNoClickNoHold", {Key(0, KEY_MENU, kDown), Unplug(200)}, {}},
        Case{"UnplugAfterPlayHold", {Key(0, KEY_PLAYPAUSE, kDown), Unplug(900)}, {{500, 9, true}}}),
    [](const testing::TestParamInfo<Case>& param) { return param.param.name; });

// The hold timer is asked for only while a click-or-hold button is down and undecided.
TEST(RemoteDecoder, AsksForTheTimerOnlyWhileTimingAButton) {
  RemoteDecoder decoder;
  EXPECT_FALSE(decoder.Deadline());
  decoder.Key(At(100), KEY_MENU, kDown);
  EXPECT_EQ(decoder.Deadline(), At(100) + kHoldThreshold);
  decoder.Key(At(200), KEY_MENU, kUp);
  EXPECT_FALSE(decoder.Deadline());

  decoder.Key(At(300), KEY_VOLUMEUP, kDown);
  EXPECT_FALSE(decoder.Deadline()) << "volume is never timed";
  decoder.Key(At(400), KEY_VOLUMEUP, kUp);

  decoder.Key(At(500), KEY_BACK, kDown);
  decoder.TimerDue(At(1000));
  EXPECT_FALSE(decoder.Deadline()) << "the hold is decided";
  EXPECT_TRUE(decoder.ButtonDown());
  decoder.Key(At(1100), KEY_BACK, kUp);
  EXPECT_FALSE(decoder.ButtonDown());
}

// An event loop may hand over a release stamped after the threshold before the timer fires,
// or fire the timer a little early; the result follows the times, not the order of arrival.
TEST(RemoteDecoder, FollowsEventTimesNotArrivalOrder) {
  RemoteDecoder decoder;
  decoder.Key(At(0), KEY_FORWARD, kDown);
  EXPECT_TRUE(decoder.TimerDue(At(499)).empty());
  EXPECT_EQ(decoder.Deadline(), At(500)) << "an early timer leaves the deadline in place";
  EXPECT_EQ(decoder.Key(At(520), KEY_FORWARD, kUp),
            (std::vector<RemoteEvent>{{6, true}, {6, false}}));
  EXPECT_TRUE(decoder.TimerDue(At(600)).empty()) << "a late timer finds nothing to do";
}

TEST(RemoteDecoder, ResetForgetsAHoldSilently) {
  RemoteDecoder decoder;
  decoder.Key(At(0), KEY_FORWARD, kDown);
  decoder.TimerDue(At(500));
  decoder.Reset();
  EXPECT_FALSE(decoder.ButtonDown());
  EXPECT_TRUE(decoder.Key(At(900), KEY_FORWARD, kUp).empty());
  EXPECT_TRUE(decoder.DeviceGone().empty());
}

}  // namespace
}  // namespace platform::evdev_remote
