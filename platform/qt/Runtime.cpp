// The event loop, the dispatch guard and the unhandled-exception handler over QApplication.
#include "platform/Runtime.h"

#include <cxxabi.h>

#include <QApplication>
#include <QMessageBox>
#include <QWidget>
#include <cstdlib>
#include <memory>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include "platform/Application.h"
#include "platform/Exceptions.h"
#include "platform/MainLoop.h"
#include "platform/MsgBox.h"
#include "platform/Plugins.h"
#include "platform/Version.h"
#include "platform/qt/DisplayLoss.h"
#include "platform/qt/KeyOutputWatch.h"
#include "platform/qt/MainLoop.h"
#include "platform/qt/SessionHooks.h"
#include "platform/qt/WindowBackend.h"
#include "platform/qt/WindowImpl.h"

namespace platform {

namespace {

struct RuntimeState {
  int fallbackArgc = 1;
  char fallbackName[16] = "zibtvremote";
  char* fallbackArgv[2] = {fallbackName, nullptr};
  int* argc = &fallbackArgc;
  char** argv = fallbackArgv;

  std::unique_ptr<QApplication> app;
  bool installedMessageBox = false;
  bool loopRunning = false;
  bool quitRequested = false;
  bool quitting = false;
  int status = 0;
  int handlersRunning = 0;  // Dispatch calls in progress, nested ones included
  std::vector<std::function<void()>> betweenEvents;  // waiting for RunBetweenEvents
  std::string quitOnCloseClass;
  Runtime::UnhandledPresenter unhandledPresenter;
};

RuntimeState& State() {
  static RuntimeState state;
  return state;
}

std::string Demangle(const char* name) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(
      abi::__cxa_demangle(name, nullptr, nullptr, &status), std::free);
  return status == 0 && demangled ? std::string(demangled.get()) : std::string(name);
}

// Set while the unhandled-exception message is up, so that the real box shows it as an error.
bool presentingError = false;

void DefaultUnhandledPresenter(const std::string& className, const std::string& text) {
  std::string message =
      "An exception of class " + className + " was not handled. The application must quit.";
  if (!text.empty()) message += "\n\n" + text;
  struct ErrorPresentation {
    ErrorPresentation() { presentingError = true; }
    ~ErrorPresentation() { presentingError = false; }
  } presenting;
  MsgBox(message);
}

void ShowModalMessage(const std::string& text) {
  QMessageBox box(QApplication::activeWindow());
  box.setWindowTitle(QString::fromUtf8(build::kApplicationName));
  box.setIcon(presentingError ? QMessageBox::Critical : QMessageBox::Information);
  box.setTextFormat(Qt::PlainText);
  box.setText(QString::fromStdString(text));
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

// Runs the work that RunBetweenEvents held back, in the order it came.
void RunWaitingWork() {
  // Posted work can come up inside a handler's own loop again; the last handler to return
  // posts it anew.
  if (State().handlersRunning > 0) return;
  auto waiting = std::exchange(State().betweenEvents, {});
  for (auto& work : waiting) Runtime::Dispatch(work);
}

}  // namespace

void qt::KeepArguments(int& argc, char** argv) {
  auto& state = State();
  state.argc = &argc;
  state.argv = argv;
}

void Runtime::RunFrameworkInitialization(const std::function<void()>& startup) {
  auto& state = State();
  if (!QCoreApplication::instance()) {
    qt::GuardFrameworkStart();
    state.app = std::make_unique<QApplication>(*state.argc, state.argv);
    qt::FrameworkStarted();
  }
  // Which window's closing ends the program is decided by QuitWhenWindowCloses, not by Qt's
  // count of visible windows (a hidden main window is still the program's).
  QApplication::setQuitOnLastWindowClosed(false);

  // On the offscreen platform nobody could dismiss a modal box, so messages stay on standard
  // error there. A presenter set before (tests) is kept.
  if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
    auto previous = SetMsgBoxPresenter(ShowModalMessage);
    if (previous) {
      SetMsgBoxPresenter(std::move(previous));
    } else {
      state.installedMessageBox = true;
    }
  }

  qt::WatchKeyOutputs();
  if (!Plugins::BackendsChosen()) qt::ChooseBackendsWatchingDisplay(Plugins::ChooseSystemBackends);
  qt::SessionFrameworkUp();
  if (startup) startup();
}

void Runtime::Run() {
  auto& state = State();
  // What had to wait for the start-up to end (a quit asked for by a signal) runs now, before
  // the application opens.
  RunWaitingWork();
  if (state.quitRequested || !QCoreApplication::instance()) {
    state.quitRequested = false;
    return;
  }
  PostToMainLoop([] {
    Dispatch([] {
      if (auto app = GetAppObject()) app->Event_Open();
    });
  });
  qt::SessionLoopStarting();
  state.loopRunning = true;
  QApplication::exec();
  state.loopRunning = false;
  state.quitRequested = false;
}

void Runtime::Quit() {
  auto& state = State();
  state.quitRequested = true;
  if (state.loopRunning) QCoreApplication::exit(state.status);
}

void Runtime::QuitApplication() {
  auto& state = State();
  if (state.quitting) return;
  state.quitting = true;
  qt::SessionQuitting();
  for (const auto& window : qt::OpenWindows()) window->Close();
  state.quitting = false;
  Quit();
}

void Runtime::QuitWhenWindowCloses(std::string fullClassName) {
  State().quitOnCloseClass = std::move(fullClassName);
}

void qt::WindowClosed(const Window& window) {
  const auto& state = State();
  if (!state.quitting && !state.quitOnCloseClass.empty() &&
      window.FullClassName() == state.quitOnCloseClass)
    Runtime::QuitApplication();
}

void Runtime::UnhandledException(std::exception_ptr error) {
  std::string className = "unknown exception";
  std::string text;
  try {
    if (error) std::rethrow_exception(error);
  } catch (const RuntimeException& e) {
    className = e.ClassName();
    text = e.what();
  } catch (const std::exception& e) {
    className = Demangle(typeid(e).name());
    text = e.what();
  } catch (...) {
  }

  auto& state = State();
  state.status = 1;
  try {
    if (state.unhandledPresenter) {
      state.unhandledPresenter(className, text);
    } else {
      DefaultUnhandledPresenter(className, text);
    }
  } catch (...) {
    // The report itself failed; the program still has to end.
  }
  Quit();
}

Runtime::UnhandledPresenter Runtime::SetUnhandledPresenter(UnhandledPresenter presenter) {
  return std::exchange(State().unhandledPresenter, std::move(presenter));
}

int Runtime::Exit() {
  auto& state = State();
  qt::LeaveSession();
  qt::DropAllWindows();
  RegisterAppObject(nullptr);
  if (state.installedMessageBox) {
    SetMsgBoxPresenter(nullptr);
    state.installedMessageBox = false;
  }
  qt::StopWatchingKeyOutputs();
  if (QCoreApplication::instance()) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // Widgets must go before the application object; Qt does not delete them itself.
    for (QWidget* widget : QApplication::topLevelWidgets()) delete widget;
  }
  state.app.reset();
  const int status = state.status;
  state.status = 0;
  state.quitRequested = false;
  state.quitOnCloseClass.clear();
  state.betweenEvents.clear();
  return status;
}

void Runtime::Dispatch(const std::function<void()>& handler) noexcept {
  auto& state = State();
  ++state.handlersRunning;
  try {
    if (handler) handler();
  } catch (...) {
    UnhandledException(std::current_exception());
  }
  // Work that waited for the handlers goes to the loop, not in here: the caller of this
  // handler (a widget's own code) has not finished yet.
  if (--state.handlersRunning == 0 && state.loopRunning && !state.betweenEvents.empty())
    PostToMainLoop(RunWaitingWork);
}

void qt::RunBetweenEvents(std::function<void()> work) {
  auto& state = State();
  if (state.loopRunning && state.handlersRunning == 0) {
    Runtime::Dispatch(work);
    return;
  }
  state.betweenEvents.push_back(std::move(work));
}

std::string qt::CloseWindowsAfterDisplayLoss() {
  auto& state = State();
  // Before the loop runs, the main window has not been shown: nothing in it can have changed,
  // and its Open event may not have finished loading it.
  if (!state.loopRunning) return "it was still starting, so there was nothing to save";
  std::string failure;
  auto presenter = Runtime::SetUnhandledPresenter(
      [&failure](const std::string& className, const std::string& text) {
        if (failure.empty()) failure = text.empty() ? className : className + ": " + text;
      });
  SetMsgBoxPresenter([](const std::string&) {});  // nobody could see a box
  state.quitting = true;                          // no window's closing starts a quit of its own
  // Kept: the process ends without releasing them, as releasing a window would hand its
  // widgets back to the window system.
  static auto* windows = new std::vector<std::shared_ptr<Window>>(qt::OpenWindows());
  for (const auto& window : *windows) window->Close();
  Runtime::SetUnhandledPresenter(std::move(presenter));
  return failure.empty() ? "the windows were closed as at Quit, so their contents were saved"
                         : "closing the windows failed (" + failure + "), so their contents " +
                               "may not have been saved";
}

void Runtime::ProcessPendingEvents() {
  if (!QCoreApplication::instance()) return;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace platform
