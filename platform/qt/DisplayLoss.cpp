#include "platform/qt/DisplayLoss.h"

#include <xcb/xcb.h>

#include <signal.h>
#include <unistd.h>

#include <QByteArray>
#include <QGuiApplication>
#include <QMetaObject>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Version.h"
#include "platform/qt/MainLoop.h"
#include "platform/qt/WindowBackend.h"
#include "platform/qt/XcbBringForward.h"

namespace platform::qt {
namespace {

// When the framework's start fails, the display is asked once more whether it is still there,
// only to say which of the two happened.
constexpr int kRecheckMilliseconds = 500;
// The same when a backend could not use the display: it says so, which is also what a display
// that is still there and lacks what the backend needs makes it say, so the start waits less.
constexpr int kBackendRecheckMilliseconds = 200;

DisplayProbe probeInUse{
    [](std::string&) { return true; },
    [] {},
    [](int) { return false; },
    [](void (*)()) {},
};

bool armed = false;
bool ending = false;
QtMessageHandler qtHandler = nullptr;

// A message the framework gave while it started, held back until it is known that the start
// went through: had it failed, our one line says what happened instead.
struct HeldMessage {
  QtMsgType type;
  QByteArray file, function, category;
  int line;
  QString text;
};
QtMessageHandler handlerBeforeStart = nullptr;
std::mutex heldMessagesMutex;  // the framework's own threads give messages too
std::vector<HeldMessage>* heldMessages = nullptr;

// The framework does not always notice that the X server went away while it connected: it can
// then read through a null pointer. While it starts, a crash with the display gone is the
// display's loss; any other goes on to the handler that was there before.
constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGABRT};
struct sigaction crashHandlersBeforeStart[std::size(kCrashSignals)];
std::string* lostWhileStartingLine = nullptr;  // made beforehand: a signal handler cannot

void OnCrashWhileStarting(int signal) {
  if (lostWhileStartingLine != nullptr && Probe().gone(kRecheckMilliseconds)) {
    (void)!::write(STDERR_FILENO, lostWhileStartingLine->data(), lostWhileStartingLine->size());
    ::_exit(1);
  }
  for (std::size_t i = 0; i < std::size(kCrashSignals); ++i)
    if (kCrashSignals[i] == signal) ::sigaction(signal, &crashHandlersBeforeStart[i], nullptr);
}

void CatchCrashesWhileStarting() {
  lostWhileStartingLine = new std::string(std::string(build::kApplicationName) +
                                          ": lost the connection to the display; " +
                                          CloseWindowsAfterDisplayLoss() + ".\n");
  struct sigaction action {};
  action.sa_handler = OnCrashWhileStarting;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < std::size(kCrashSignals); ++i)
    ::sigaction(kCrashSignals[i], &action, &crashHandlersBeforeStart[i]);
}

void StopCatchingCrashes() {
  if (lostWhileStartingLine == nullptr) return;
  for (std::size_t i = 0; i < std::size(kCrashSignals); ++i)
    ::sigaction(kCrashSignals[i], &crashHandlersBeforeStart[i], nullptr);
  delete lostWhileStartingLine;
  lostWhileStartingLine = nullptr;
}

[[noreturn]] void EndWithLine(const std::string& text) {
  std::fprintf(stderr, "%s: %s.\n", build::kApplicationName, text.c_str());
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(1);
}

bool XConnectionBroken() {
  if (DisplayLost()) return true;
  xcb_connection_t* connection = FrameworkXConnection();
  return connection != nullptr && xcb_connection_has_error(connection) != 0;
}

// The Wayland platform says that its connection broke and then ends the process at once with
// _exit(), which no exit handler sees: this message is the only moment left to save.
bool WaylandConnectionBroke(const QString& text) {
  return QGuiApplication::platformName().startsWith(QLatin1String("wayland")) &&
         text.startsWith(QLatin1String("The Wayland connection"));
}

void EndForLostDisplayOnMainThread() {
  auto* app = QCoreApplication::instance();
  if (app == nullptr || QThread::currentThread() == app->thread()) EndForLostDisplay();
  // The windows belong to the main thread; this one waits there for the end.
  QMetaObject::invokeMethod(
      app, [] { EndForLostDisplay(); }, Qt::QueuedConnection);
  for (;;) ::pause();
}

void LeaveOutAfterDisplayLoss(QtMsgType type, const QMessageLogContext& context,
                              const QString& text) {
  if (type != QtFatalMsg && WaylandConnectionBroke(text)) EndForLostDisplayOnMainThread();
  if (XConnectionBroken()) {
    // A fatal message would abort with the framework's text: ours ends it instead.
    if (type == QtFatalMsg) EndForLostDisplay();
    return;
  }
  qtHandler(type, context, text);
}

// The framework gives up on a start with a fatal message, which would abort the process with
// its own words; a display that went away while it connected shows first as a message of the
// X connection breaking.
void HoldWhileStarting(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtFatalMsg) {
    if (Probe().gone(kRecheckMilliseconds)) EndForLostDisplay();
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    EndWithLine(std::string("the window system platform \"") +
                (platform != nullptr ? platform : "") + "\" did not start");
  }
  if (Probe().gone(0)) EndForLostDisplay();
  const std::lock_guard<std::mutex> lock(heldMessagesMutex);
  if (heldMessages == nullptr) heldMessages = new std::vector<HeldMessage>;
  heldMessages->push_back(
      {type, context.file, context.function, context.category, context.line, text});
}

// An exit() while the guard is armed did not come from the end of main: the framework is
// giving up on the display.
void EndAfterDisplayLoss() {
  if (armed) EndForLostDisplay();
}

}  // namespace

void UseDisplayProbe(const DisplayProbe& probe) { probeInUse = probe; }

const DisplayProbe& Probe() { return probeInUse; }

void EndForLostDisplay() {
  armed = false;
  if (ending) {
    // The display was touched again while the windows closed.
    EndWithLine(
        "lost the connection to the display; closing the windows ran into it again, so their "
        "contents may not have been saved");
  }
  ending = true;
  SetDisplayLost();
  std::string outcome;
  try {
    outcome = CloseWindowsAfterDisplayLoss();
  } catch (...) {
    outcome = "closing the windows failed, so their contents may not have been saved";
  }
  EndWithLine("lost the connection to the display; " + outcome);
}

void GuardFrameworkStart() {
  Probe().endOnXlibConnectionLoss(EndForLostDisplay);
  if (lostWhileStartingLine == nullptr) CatchCrashesWhileStarting();
  if (handlerBeforeStart == nullptr) handlerBeforeStart = qInstallMessageHandler(HoldWhileStarting);
}

void FrameworkStarted() {
  // The framework put its own handler in place when it opened its X connection.
  Probe().endOnXlibConnectionLoss(EndForLostDisplay);
  StopCatchingCrashes();
  if (handlerBeforeStart == nullptr) return;
  qInstallMessageHandler(handlerBeforeStart);
  const std::lock_guard<std::mutex> lock(heldMessagesMutex);
  if (heldMessages != nullptr) {
    for (const auto& held : *heldMessages) {
      const QMessageLogContext context(held.file.constData(), held.line, held.function.constData(),
                                       held.category.constData());
      handlerBeforeStart(held.type, context, held.text);
    }
    delete heldMessages;
    heldMessages = nullptr;
  }
  handlerBeforeStart = nullptr;
}

void ChooseBackendsWatchingDisplay(const std::function<void()>& choose) {
  std::ostringstream said;
  std::streambuf* const standardError = std::cerr.rdbuf(said.rdbuf());
  try {
    choose();
  } catch (...) {
    std::cerr.rdbuf(standardError);
    std::cerr << said.str();
    throw;
  }
  std::cerr.rdbuf(standardError);
  if (said.str().empty()) return;
  if (Probe().gone(kBackendRecheckMilliseconds)) EndForLostDisplay();
  std::cerr << said.str();
}

void QuietQtAfterDisplayLoss() {
  if (qtHandler == nullptr) qtHandler = qInstallMessageHandler(LeaveOutAfterDisplayLoss);
}

void ArmDisplayLossGuard() {
  armed = true;
  std::atexit(EndAfterDisplayLoss);
}

void DisarmDisplayLossGuard() { armed = false; }

}  // namespace platform::qt
