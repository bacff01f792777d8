#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/Window1.h"
#include "platform/Exceptions.h"
#include "platform/FileType.h"
#include "platform/MsgBox.h"
#include "platform/Plugins.h"
#include "platform/Runtime.h"
#include "platform/testing/RecordingKeys.h"
#include "platform/testing/ScriptedRemote.h"
#include "settings/BrioEasyPrefs.h"
#include "shell/App.h"
#include "shell/FileTypes.h"
#include "shell/HelpWin.h"
#include "shell/MenuBar1.h"
#include "shell/Startup.h"
#include "tests/support/TempFolder.h"

namespace {

struct InjectedFailure : platform::RuntimeException {
  InjectedFailure() : platform::RuntimeException("injected") {}
  const char* ClassName() const noexcept override { return "InjectedFailure"; }
};

// What the released module state looks like, read when the release has run.
struct Released {
  bool pTextNil = false;
  bool fileTypesDeregistered = false;
  bool menuBarGone = false;
  bool settingsGone = false;
};

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The run under test must not depend on the machine's devices.
    remote_ = platform::testing::ScriptedRemote::Install();
    keys_ = platform::testing::RecordingKeys::Install();
    platform::SetMsgBoxPresenter([this](const std::string& text) { messages_.push_back(text); });
    platform::Runtime::SetUnhandledPresenter(
        [this](const std::string& className, const std::string&) {
          unhandled_.push_back(className);
        });
  }
  void TearDown() override {
    platform::Runtime::SetUnhandledPresenter(nullptr);
    platform::SetMsgBoxPresenter(nullptr);
    MenuBar1::SetItemFactory(nullptr);
    platform::Plugins::SetRemoteFactory(nullptr);
    platform::Plugins::SetKeyOutput(nullptr);
  }

  // The real phases, each noting its name before it runs.
  shell::Phases Traced() {
    shell::Phases p;
    // The test process is no user session: it joins none.
    p.joinSession = [this](std::string&) {
      trace_.push_back("session");
      return platform::Session::Entry::Joined;
    };
    auto wrap = [this](const char* name, std::function<void()> real) {
      return [this, name, real] {
        trace_.push_back(name);
        real();
      };
    };
    p.initModuleState = wrap("module state", shell::InitModuleState);
    p.initFileTypes = wrap("file types", shell::InitFileTypes);
    p.newAppInstance = wrap("app", shell::NewAppInstance);
    p.applicationAddMenuHandlers = wrap("menu handlers", shell::ApplicationAddMenuHandlers);
    p.makeDefaultView = wrap("default view", shell::MakeDefaultView);
    p.run = wrap("run", platform::Runtime::Run);
    p.releaseModuleState = [this] {
      trace_.push_back("release");
      shell::ReleaseModuleState();
      released_.pTextNil = FileTypes::pText == nullptr;
      released_.fileTypesDeregistered = platform::FileType::Registered().empty();
      released_.menuBarGone = !MenuBar1::HasInstance();
      try {
        BrioEasyPrefs::PrefNames();
      } catch (const platform::NilObjectException&) {
        try {
          BrioEasyPrefs::PrefItems();
        } catch (const platform::NilObjectException&) {
          released_.settingsGone = BrioEasyPrefs::PrefFile() == nullptr;
        }
      }
    };
    return p;
  }

  int RunWith(const shell::Phases& phases) {
    static char name[] = "zibtvremote";
    static char* argv[] = {name, nullptr};
    static int argc = 1;
    return shell::RunProgram(argc, argv, phases);
  }

  void ExpectReleased() {
    EXPECT_TRUE(released_.pTextNil);
    EXPECT_TRUE(released_.fileTypesDeregistered);
    EXPECT_TRUE(released_.menuBarGone);
    EXPECT_TRUE(released_.settingsGone);
  }

  std::shared_ptr<platform::testing::ScriptedRemote> remote_;
  std::shared_ptr<platform::testing::RecordingKeys> keys_;
  testsupport::ScratchConfigHome config_;
  std::vector<std::string> trace_;
  std::vector<std::string> messages_;
  std::vector<std::string> unhandled_;
  Released released_;
};

// A normal run: start-up in order, the main window hidden until the application opens, shown
// then; closing it ends the loop after its Close event, and the state is released.
TEST_F(StartupTest, NormalRunStartsInOrderAndClosingTheMainWindowEndsIt) {
  auto phases = Traced();
  bool hiddenAfterStartup = false;
  bool sameBar = false;
  bool appBeforeWindow = false;
  phases.makeDefaultView = [&] {
    trace_.push_back("default view");
    appBeforeWindow = App::Instance() != nullptr && platform::FileType::Registered().size() == 1;
    shell::MakeDefaultView();
    auto window = Window1::Instance();
    hiddenAfterStartup = !window->Visible();
    sameBar = window->GetMenuBar() == App::Instance()->GetMenuBar() &&
              window->GetMenuBar() == MenuBar1::Instance();
  };
  bool shownByOpen = false;
  std::weak_ptr<HelpWin> help;
  bool helpClosed = false;
  bool closeSaved = false;
  phases.run = [&] {
    trace_.push_back("run");
    // The application's Open event arrives once the loop runs; let the user close the main
    // window right after it.
    // With the help window open too: it must close with the program.
    struct Closer : App {
      bool* shown;
      std::weak_ptr<HelpWin>* help;
      Closer(bool* s, std::weak_ptr<HelpWin>* h) : shown(s), help(h) {}
      void Event_Open() override {
        App::Event_Open();
        auto window = Window1::Instance();
        *shown = window->Visible();
        *help = HelpWin::Instance();
        window->Close();
      }
    };
    auto closer = std::make_shared<Closer>(&shownByOpen, &help);
    closer->SetMenuBar(App::Instance()->GetMenuBar());
    platform::Runtime::RegisterAppObject(closer);
    platform::Runtime::Run();
    helpClosed = (help.expired() || help.lock()->IsClosed()) &&
                 platform::GetImplicitWindow("HelpWin.HelpWin") == nullptr;
    // The main window's Close event saved the table into the file its Open event made empty.
    const auto file = config_.Path() / "ZibRemote.ini";
    closeSaved = std::filesystem::exists(file) && std::filesystem::file_size(file) > 0;
  };

  const int status = RunWith(phases);

  EXPECT_EQ(trace_, (std::vector<std::string>{"session", "module state", "file types", "app",
                                              "menu handlers", "default view", "run", "release"}));
  EXPECT_TRUE(appBeforeWindow);
  EXPECT_TRUE(hiddenAfterStartup);
  EXPECT_TRUE(sameBar);
  EXPECT_TRUE(shownByOpen);
  EXPECT_TRUE(helpClosed);
  EXPECT_TRUE(closeSaved);
  EXPECT_TRUE(unhandled_.empty());
  ExpectReleased();
  EXPECT_EQ(status, 0);
}

// Quit closes every window first, so each one's Close event runs, then the loop ends.
TEST_F(StartupTest, QuitClosesTheWindowsAndEndsTheRun) {
  auto phases = Traced();
  bool mainClosed = false;
  phases.run = [&] {
    trace_.push_back("run");
    struct Quitter : App {
      void Event_Open() override {
        App::Event_Open();
        platform::Runtime::QuitApplication();
      }
    };
    auto quitter = std::make_shared<Quitter>();
    std::weak_ptr<Window1> main = Window1::Instance();
    platform::Runtime::RegisterAppObject(quitter);
    platform::Runtime::Run();
    mainClosed = main.expired() || main.lock()->IsClosed();
  };
  EXPECT_EQ(RunWith(phases), 0);
  EXPECT_TRUE(mainClosed);
  EXPECT_GT(std::filesystem::file_size(config_.Path() / "ZibRemote.ini"), 0u);  // Close saved
  EXPECT_TRUE(unhandled_.empty());
  ExpectReleased();
}

// A failing phase: the later steps do not run, the loop is not entered (unless it was the loop
// that failed), the exception is reported once, the release still runs, and the status is not 0.
TEST_F(StartupTest, FailingPhaseIsReportedOnceAndTheRunStillEndsInOrder) {
  struct Case {
    const char* failing;
    std::vector<std::string> expected;
  } cases[] = {
      {"file types", {"session", "module state", "file types", "release"}},
      {"app", {"session", "module state", "file types", "app", "release"}},
      {"menu handlers",
       {"session", "module state", "file types", "app", "menu handlers", "release"}},
      {"default view",
       {"session", "module state", "file types", "app", "menu handlers", "default view",
        "release"}},
      {"run",
       {"session", "module state", "file types", "app", "menu handlers", "default view", "run",
        "release"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.failing);
    trace_.clear();
    unhandled_.clear();
    released_ = {};
    auto phases = Traced();
    auto failing = [this, &c] {
      trace_.push_back(c.failing);
      throw InjectedFailure();
    };
    const std::string which = c.failing;
    if (which == "file types") phases.initFileTypes = failing;
    if (which == "app") phases.newAppInstance = failing;
    if (which == "menu handlers") phases.applicationAddMenuHandlers = failing;
    if (which == "default view") phases.makeDefaultView = failing;
    if (which == "run") phases.run = failing;

    const int status = RunWith(phases);

    EXPECT_EQ(trace_, c.expected);
    EXPECT_EQ(unhandled_, (std::vector<std::string>{"InjectedFailure"}));
    ExpectReleased();
    EXPECT_NE(status, 0);
  }
}

// The menu bar failing while the application object is made: no application object gets
// registered, the main window is never built, and the run ends as above.
TEST_F(StartupTest, MenuBarFailureLeavesNoApplicationObject) {
  MenuBar1::SetItemFactory([](std::string_view name, bool) -> std::shared_ptr<platform::MenuItem> {
    if (name == "EditPaste") return nullptr;
    return std::make_shared<platform::MenuItem>();
  });
  auto phases = Traced();
  bool appRegistered = true;
  phases.releaseModuleState = [&, release = phases.releaseModuleState] {
    appRegistered = platform::Runtime::GetAppObject() != nullptr;
    release();
  };
  const int status = RunWith(phases);
  EXPECT_EQ(trace_,
            (std::vector<std::string>{"session", "module state", "file types", "app", "release"}));
  EXPECT_FALSE(appRegistered);
  EXPECT_EQ(unhandled_, (std::vector<std::string>{"NilObjectException"}));
  ExpectReleased();
  EXPECT_NE(status, 0);
}

// A start that does not join the session leaves no trace: no phase runs (so no settings file
// and no receiver), and the status and the one line on standard error tell why.
TEST_F(StartupTest, StartThatDoesNotJoinTheSessionRunsNothingElse) {
  using Entry = platform::Session::Entry;
  struct Case {
    Entry entry;
    int status;
    const char* line;
  } cases[] = {
      {Entry::HandedOver, 0, ""},
      {Entry::Signalled, 0, ""},
      {Entry::NoDisplay, 1,
       "ZibTVRemote needs a graphical session and found no display it could use (why).\n"},
      {Entry::Unanswered, 1, "ZibTVRemote is running already but does not answer (why).\n"},
      {Entry::OtherDisplay, 1,
       "ZibTVRemote is running already on another display (why) with the same settings file; "
       "quit it there first.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    trace_.clear();
    auto phases = Traced();
    phases.joinSession = [this, &c](std::string& detail) {
      trace_.push_back("session");
      detail = "why";
      return c.entry;
    };
    ::testing::internal::CaptureStderr();
    const int status = RunWith(phases);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.line);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(trace_, std::vector<std::string>{"session"});
    EXPECT_FALSE(std::filesystem::exists(config_.Path() / "ZibRemote.ini"));
  }
}

// Where no lock can be made, the run says so in one line and goes on as any other.
TEST_F(StartupTest, RunWithoutTheLockSaysSoAndGoesOn) {
  auto phases = Traced();
  phases.joinSession = [this](std::string& detail) {
    trace_.push_back("session");
    detail = "why";
    return platform::Session::Entry::JoinedWithoutLock;
  };
  phases.run = [this] { trace_.push_back("run"); };
  ::testing::internal::CaptureStderr();
  RunWith(phases);
  // The framework may add its own remarks on the test machine's environment after it.
  const std::string line =
      "ZibTVRemote runs without its one-copy lock (why): a second copy would not be kept out.\n";
  EXPECT_EQ(::testing::internal::GetCapturedStderr().substr(0, line.size()), line);
  EXPECT_EQ(trace_, (std::vector<std::string>{"session", "module state", "file types", "app",
                                              "menu handlers", "default view", "run", "release"}));
}

TEST_F(StartupTest, AppInstanceIsTheRegisteredApplicationObject) {
  platform::Runtime::RegisterAppObject(nullptr);
  EXPECT_EQ(App::Instance(), nullptr);
  auto app = std::make_shared<App>();
  platform::Runtime::RegisterAppObject(app);
  EXPECT_EQ(App::Instance(), app);
  EXPECT_EQ(App::Instance(), App::Instance());
  platform::Runtime::RegisterAppObject(std::make_shared<platform::Application>());
  EXPECT_THROW(App::Instance(), platform::IllegalCastException);
  platform::Runtime::RegisterAppObject(nullptr);
}

}  // namespace
