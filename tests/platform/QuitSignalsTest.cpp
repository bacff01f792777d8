#include "platform/qt/QuitSignals.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Application.h"
#include "platform/Runtime.h"
#include "platform/testing/TestFramework.h"
#include "tests/platform/TestWindows.h"

namespace {

class OpeningApp : public platform::Application {
 public:
  std::function<void()> onOpen;
  void Event_Open() override {
    if (onOpen) onOpen();
  }
};

// A signal quits as Quit does: every window's Close event runs and the status is 0. One that
// comes while a handler runs its own loop (a modal box) waits until that handler has returned;
// one that comes before the framework exists waits until its loop runs.
TEST(QuitSignals, EachSignalQuitsAsQuitDoesOnceTheRunningHandlerHasReturned) {
  for (const bool beforeTheFramework : {false, true}) {
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
      SCOPED_TRACE(::testing::Message()
                   << "signal " << signal << ", before the framework " << beforeTheFramework);
      platform::qt::InstallQuitSignals();
      if (beforeTheFramework) std::raise(signal);
      platform::testing::TestFramework run;
      platform::qt::WatchQuitSignals();
      auto window = std::make_shared<platformtest::ScriptedWindow>();
      window->Constructor();
      auto app = std::make_shared<OpeningApp>();
      platform::Runtime::RegisterAppObject(app);
      bool closedUnderTheHandler = true;
      app->onOpen = [&] {
        if (!beforeTheFramework) std::raise(signal);
        platform::Runtime::ProcessPendingEvents();
        closedUnderTheHandler = window->IsClosed();
      };
      platform::Runtime::Run();
      platform::qt::RestoreQuitSignals();
      if (!beforeTheFramework) {
        EXPECT_FALSE(closedUnderTheHandler);
      }
      EXPECT_TRUE(window->IsClosed());
      EXPECT_EQ(window->events.back(), "Close");
      EXPECT_TRUE(run.unhandled.empty());
      EXPECT_EQ(run.Finish(), 0);
    }
  }
}

// Once a quit is asked for, SIGTERM and SIGHUP belong to it (a logout sends both, `timeout` may
// send one twice), until the process has ended; only Ctrl+C pressed twice ends it at once. A mask
// the parent left blocked is lifted, and a signal that waited under it is taken; one ignored from
// the start (nohup) stays ignored.
TEST(QuitSignalsDeathTest, OneQuitForAllButASecondInterrupt) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  constexpr int kQuitAsked = 10;
  constexpr int kNoQuit = 11;
  using ::testing::ExitedWithCode;
  using ::testing::KilledBySignal;
  struct Case {
    const char* what;
    std::vector<int> raised;
    std::function<bool(int)> ends;
    std::vector<int> afterTheLoop = {};  // raised once the main loop has stopped watching
    int ignored = 0;                     // a signal ignored from the start
    bool blockedByTheParent = false;
    std::vector<int> beforeInstalling = {};  // under the inherited mask and dispositions
  } cases[] = {
      {"TERM then HUP", {SIGTERM, SIGHUP}, ExitedWithCode(kQuitAsked)},
      {"TERM twice", {SIGTERM, SIGTERM}, ExitedWithCode(kQuitAsked)},
      {"HUP then TERM", {SIGHUP, SIGTERM}, ExitedWithCode(kQuitAsked)},
      {"TERM, then a first INT", {SIGTERM, SIGINT}, ExitedWithCode(kQuitAsked)},
      {"INT twice", {SIGINT, SIGINT}, KilledBySignal(SIGINT)},
      {"INT twice after TERM", {SIGTERM, SIGINT, SIGHUP, SIGINT}, KilledBySignal(SIGINT)},
      {"HUP and TERM after the loop", {SIGTERM}, ExitedWithCode(kQuitAsked), {SIGHUP, SIGTERM}},
      {"INT again after the loop", {SIGINT}, KilledBySignal(SIGINT), {SIGINT}},
      {"TERM after a loop that no signal ended", {}, KilledBySignal(SIGTERM), {SIGTERM}},
      {"blocked by the parent", {SIGINT, SIGINT}, KilledBySignal(SIGINT), {}, 0, true},
      {"pending under the parent's mask", {}, ExitedWithCode(kQuitAsked), {}, 0, true, {SIGHUP}},
      {"HUP ignored from the start", {SIGHUP, SIGHUP}, ExitedWithCode(kNoQuit), {}, SIGHUP},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EXIT(
        {
          if (c.blockedByTheParent) {
            sigset_t three;
            sigemptyset(&three);
            for (int signal : {SIGTERM, SIGHUP, SIGINT}) sigaddset(&three, signal);
            pthread_sigmask(SIG_BLOCK, &three, nullptr);
          }
          for (int signal : c.beforeInstalling) std::raise(signal);
          if (c.ignored != 0) std::signal(c.ignored, SIG_IGN);
          platform::qt::InstallQuitSignals();
          for (int signal : c.raised) std::raise(signal);
          platform::qt::RestoreQuitSignals();
          for (int signal : c.afterTheLoop) std::raise(signal);
          std::_Exit(platform::qt::QuitAsked() ? kQuitAsked : kNoQuit);
        },
        c.ends, "");
  }
}

}  // namespace
