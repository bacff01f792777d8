// The event loop as the rest of the platform layer sees it, and the window system's keyboard.
#include "platform/qt/MainLoop.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMetaObject>
#include <atomic>

#include "platform/Keyboard.h"
#include "platform/MainLoop.h"

namespace platform {

void PostToMainLoop(std::function<void()> work) {
  auto* app = QCoreApplication::instance();
  if (!app) return;
  QMetaObject::invokeMethod(
      app, [work = std::move(work)] { work(); }, Qt::QueuedConnection);
}

bool Keyboard::WindowSystemAltKeyHeld() {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return false;
  // queryKeyboardModifiers asks the window system now, not the state of the last event, which
  // is what "held at the moment of the call" means.
  return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::AltModifier);
}

}  // namespace platform

namespace platform::qt {

bool FrameworkRunning() noexcept { return QCoreApplication::instance() != nullptr; }

namespace {
std::atomic<bool> displayLost{false};
}  // namespace

bool DisplayLost() noexcept { return displayLost; }
void SetDisplayLost() noexcept { displayLost = true; }

}  // namespace platform::qt
