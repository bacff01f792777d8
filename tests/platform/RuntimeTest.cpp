#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include <QTimer>

#include "platform/Application.h"
#include "platform/Runtime.h"
#include "platform/Window.h"
#include "platform/qt/WindowImpl.h"
#include "platform/testing/TestFramework.h"
#include "tests/platform/TestWindows.h"

namespace {

using platform::Runtime::Dispatch;

class ScriptedApp : public platform::Application {
 public:
  std::function<void()> onOpen;
  int opened = 0;
  void Event_Open() override {
    ++opened;
    if (onOpen) onOpen();
  }
};

struct Custom : platform::RuntimeException {
  Custom() : platform::RuntimeException("custom text") {}
  const char* ClassName() const noexcept override { return "Custom"; }
};

class RuntimeTest : public ::testing::Test {
 protected:
  std::shared_ptr<ScriptedApp> RegisteredApp() {
    auto app = std::make_shared<ScriptedApp>();
    platform::Runtime::RegisterAppObject(app);
    return app;
  }

  platform::testing::TestFramework framework;
};

TEST_F(RuntimeTest, RunRaisesTheApplicationOpenEventOnceTheLoopRuns) {
  auto app = RegisteredApp();
  app->onOpen = [] { platform::Runtime::Quit(); };
  EXPECT_EQ(app->opened, 0);
  platform::Runtime::Run();
  EXPECT_EQ(app->opened, 1);
  EXPECT_TRUE(framework.unhandled.empty());
  EXPECT_EQ(framework.Finish(), 0);
}

TEST_F(RuntimeTest, QuitBeforeRunMakesRunReturnAtOnce) {
  auto app = RegisteredApp();
  platform::Runtime::Quit();
  platform::Runtime::Run();
  EXPECT_EQ(app->opened, 0);
}

// Whatever escapes a handler reaches the handler once, with its class and text; the loop ends
// and the exit status is not 0.
TEST(RuntimeUnhandled, ExceptionEscapingAHandlerIsReportedOnceAndEndsTheLoop) {
  struct Case {
    std::function<void()> raise;
    const char* className;
    const char* text;
  } cases[] = {
      {[] { throw Custom(); }, "Custom", "custom text"},
      {[] { throw platform::NilObjectException("no window"); }, "NilObjectException", "no window"},
      {[] { throw std::logic_error("broken"); }, "std::logic_error", "broken"},
      {[] { throw 42; }, "unknown exception", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.className);
    platform::testing::TestFramework run;
    auto app = std::make_shared<ScriptedApp>();
    platform::Runtime::RegisterAppObject(app);
    int after = 0;
    int later = 0;
    {
      QTimer timer;  // an event queued behind the failing one must not run: the loop ends first
      timer.setSingleShot(true);
      QObject::connect(&timer, &QTimer::timeout, [&later] { ++later; });
      app->onOpen = [&] {
        timer.start(0);
        c.raise();
      };
      platform::Runtime::Run();
    }
    Dispatch([&] { ++after; });  // the guard still works after the loop
    ASSERT_EQ(run.unhandled.size(), 1u);
    EXPECT_EQ(run.unhandled[0].first, c.className);
    EXPECT_EQ(run.unhandled[0].second, c.text);
    EXPECT_EQ(after, 1);
    EXPECT_EQ(later, 0);
    EXPECT_NE(run.Finish(), 0);
  }
}

TEST_F(RuntimeTest, NestedDispatchReportsAnExceptionOnlyWhereItEscaped) {
  bool outerGoesOn = false;
  Dispatch([&] {
    Dispatch([] { throw Custom(); });
    outerGoesOn = true;
  });
  EXPECT_TRUE(outerGoesOn);
  EXPECT_EQ(framework.unhandled.size(), 1u);
  EXPECT_EQ(framework.Finish(), 1);
}

TEST_F(RuntimeTest, DefaultReportIsAMessageNamingClassAndText) {
  platform::Runtime::SetUnhandledPresenter(nullptr);
  Dispatch([] { throw Custom(); });
  ASSERT_EQ(framework.messages.size(), 1u);
  EXPECT_NE(framework.messages[0].find("Custom"), std::string::npos);
  EXPECT_NE(framework.messages[0].find("custom text"), std::string::npos);
}

TEST_F(RuntimeTest, QuitApplicationClosesEveryWindowBeforeTheLoopEnds) {
  std::vector<std::string> closed;
  std::vector<std::shared_ptr<platformtest::ScriptedWindow>> windows;
  for (const char* name : {"A.A", "B.B"}) {
    auto window = std::make_shared<platformtest::ScriptedWindow>(name);
    window->onClose = [&closed, name](auto&) { closed.push_back(name); };
    window->Constructor();
    windows.push_back(window);
  }
  auto app = RegisteredApp();
  bool loopWasRunning = false;
  app->onOpen = [&] {
    loopWasRunning = true;
    platform::Runtime::QuitApplication();
  };
  platform::Runtime::Run();
  EXPECT_TRUE(loopWasRunning);
  EXPECT_EQ(closed, (std::vector<std::string>{"A.A", "B.B"}));
  for (const auto& window : windows) EXPECT_TRUE(window->IsClosed());
  EXPECT_EQ(framework.Finish(), 0);
}

TEST_F(RuntimeTest, ClosingTheQuittingWindowClosesTheOthersAndEndsTheLoop) {
  platform::Runtime::QuitWhenWindowCloses("Main.Main");
  std::vector<std::string> closed;
  std::vector<std::shared_ptr<platformtest::ScriptedWindow>> windows;
  for (const char* name : {"Main.Main", "Help.Help", "Other.Other"}) {
    auto window = std::make_shared<platformtest::ScriptedWindow>(name);
    window->onClose = [&closed, name](auto&) { closed.push_back(name); };
    window->Constructor();
    windows.push_back(window);
  }
  auto app = RegisteredApp();
  bool ranOn = false;
  app->onOpen = [&] {
    windows[1]->Close();  // an ordinary window: the loop goes on
    platform::Runtime::Dispatch([] {});
    QTimer::singleShot(0, [&] {
      ranOn = true;
      platform::qt::TopLevelWidget(*windows[0])->close();  // the close box
    });
  };
  platform::Runtime::Run();
  EXPECT_TRUE(ranOn);
  EXPECT_EQ(closed, (std::vector<std::string>{"Help.Help", "Main.Main", "Other.Other"}));
  EXPECT_EQ(framework.Finish(), 0);
}

}  // namespace
