#include "platform/qt/DisplayLoss.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

#include "platform/Version.h"
#include "platform/qt/MainLoop.h"

namespace platform::qt {
namespace {

bool armed = false;
QtMessageHandler qtHandler = nullptr;

bool XConnectionBroken() {
  if (DisplayLost()) return true;
  auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  auto* x11 = app != nullptr ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 != nullptr && x11->connection() != nullptr &&
         xcb_connection_has_error(x11->connection()) != 0;
}

void LeaveOutAfterDisplayLoss(QtMsgType type, const QMessageLogContext& context,
                              const QString& text) {
  if (type != QtFatalMsg && XConnectionBroken()) return;
  qtHandler(type, context, text);
}

// An exit() while the guard is armed did not come from the end of main: the framework is
// giving up on the display.
void EndAfterDisplayLoss() {
  if (!armed) return;
  armed = false;
  SetDisplayLost();
  std::string outcome;
  try {
    outcome = CloseWindowsAfterDisplayLoss();
  } catch (...) {
    outcome = "closing the windows failed, so their contents may not have been saved";
  }
  std::fprintf(stderr, "%s: lost the connection to the display; %s.\n", build::kApplicationName,
               outcome.c_str());
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(1);
}

}  // namespace

void QuietQtAfterDisplayLoss() {
  if (qtHandler == nullptr) qtHandler = qInstallMessageHandler(LeaveOutAfterDisplayLoss);
}

void ArmDisplayLossGuard() {
  armed = true;
  std::atexit(EndAfterDisplayLoss);
}

void DisarmDisplayLossGuard() { armed = false; }

}  // namespace platform::qt
