#include "platform/qt/DisplayLoss.h"

#include <xcb/xcb.h>

#include <QByteArray>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/Version.h"
#include "platform/linux/display/DisplayProbe.h"
#include "platform/linux/display/XlibConnectionLoss.h"
#include "platform/qt/MainLoop.h"

namespace platform::qt {
namespace {

// When the framework's start fails, the display is asked once more whether it is still there,
// only to say which of the two happened.
constexpr int kRecheckMilliseconds = 500;

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

[[noreturn]] void EndWithLine(const std::string& text) {
  std::fprintf(stderr, "%s: %s.\n", build::kApplicationName, text.c_str());
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(1);
}

bool XConnectionBroken() {
  if (DisplayLost()) return true;
  auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  auto* x11 = app != nullptr ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 != nullptr && x11->connection() != nullptr &&
         xcb_connection_has_error(x11->connection()) != 0;
}

void LeaveOutAfterDisplayLoss(QtMsgType type, const QMessageLogContext& context,
                              const QString& text) {
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
    if (linux_display::DisplayGone(kRecheckMilliseconds)) EndForLostDisplay();
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    EndWithLine(std::string("the window system platform \"") +
                (platform != nullptr ? platform : "") + "\" did not start");
  }
  if (linux_display::DisplayGone(0)) EndForLostDisplay();
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
  linux_display::EndOnXlibConnectionLoss(EndForLostDisplay);
  if (handlerBeforeStart == nullptr) handlerBeforeStart = qInstallMessageHandler(HoldWhileStarting);
}

void FrameworkStarted() {
  // The framework put its own handler in place when it opened its X connection.
  linux_display::EndOnXlibConnectionLoss(EndForLostDisplay);
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

void QuietQtAfterDisplayLoss() {
  if (qtHandler == nullptr) qtHandler = qInstallMessageHandler(LeaveOutAfterDisplayLoss);
}

void ArmDisplayLossGuard() {
  armed = true;
  std::atexit(EndAfterDisplayLoss);
}

void DisarmDisplayLossGuard() { armed = false; }

}  // namespace platform::qt
