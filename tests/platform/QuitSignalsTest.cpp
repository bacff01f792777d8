#include "platform/qt/QuitSignals.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <memory>

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
// comes while a handler runs its own loop (a modal box) waits until that handler has returned.
TEST(QuitSignals, EachSignalQuitsAsQuitDoesOnceTheRunningHandlerHasReturned) {
  for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
    SCOPED_TRACE(signal);
    platform::testing::TestFramework run;
    platform::qt::InstallQuitSignals();
    platform::qt::WatchQuitSignals();
    auto window = std::make_shared<platformtest::ScriptedWindow>();
    window->Constructor();
    auto app = std::make_shared<OpeningApp>();
    platform::Runtime::RegisterAppObject(app);
    bool closedUnderTheHandler = true;
    app->onOpen = [&] {
      std::raise(signal);
      platform::Runtime::ProcessPendingEvents();
      closedUnderTheHandler = window->IsClosed();
    };
    platform::Runtime::Run();
    platform::qt::RestoreQuitSignals();
    EXPECT_FALSE(closedUnderTheHandler);
    EXPECT_TRUE(window->IsClosed());
    EXPECT_EQ(window->events.back(), "Close");
    EXPECT_TRUE(run.unhandled.empty());
    EXPECT_EQ(run.Finish(), 0);
  }
}

// The user who signals again while the program quits means it; a signal ignored from the start
// (nohup) stays ignored.
TEST(QuitSignalsDeathTest, ASecondSignalEndsAtOnceAndAnIgnoredOneStaysIgnored) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        platform::qt::InstallQuitSignals();
        std::raise(SIGTERM);
        std::raise(SIGTERM);
        std::_Exit(0);
      },
      ::testing::KilledBySignal(SIGTERM), "");
  EXPECT_EXIT(
      {
        std::signal(SIGHUP, SIG_IGN);
        platform::qt::InstallQuitSignals();
        std::raise(SIGHUP);
        std::raise(SIGHUP);
        std::_Exit(3);
      },
      ::testing::ExitedWithCode(3), "");
}

}  // namespace
