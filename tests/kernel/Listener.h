#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/linux/remote/device/PollLoop.h"
#include "platform/linux/remote/device/RemoteDecoder.h"
#include "platform/linux/remote/device/RemoteSession.h"
#include "tests/kernel/Checks.h"

// The application's receiver session on a plain poll loop, and what the receiver checks use
// to drive it and to judge what it reported.
namespace zibk {

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

inline std::string Describe(const std::vector<RemoteEvent>& events) {
  if (events.empty()) return "nothing";
  std::string text;
  for (const RemoteEvent& e : events) {
    if (!text.empty()) text += ' ';
    text += "(" + std::to_string(e.button) + (e.down ? ",T)" : ",F)");
  }
  return text;
}

inline std::vector<RemoteEvent> Events(const std::vector<Report>& reports) {
  std::vector<RemoteEvent> events;
  for (const Report& r : reports) events.push_back(r.event);
  return events;
}

inline void ExpectEvents(const std::vector<Report>& reports,
                         const std::vector<RemoteEvent>& expected, const std::string& what) {
  const auto got = Events(reports);
  Expect(got == expected, what + " gave " + Describe(got) + ", not " + Describe(expected));
}

// Holds a button while the listener runs, then lets it go.
inline void Hold(FakeReceiver& receiver, Listener& listener, IrButton button, Millis duration) {
  HoldButton(receiver, button, duration, [&] { listener.loop().RunFor(kRepeatGap); });
}

inline std::size_t Count(const std::vector<KeyEvent>& events, int value) {
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

}  // namespace zibk
