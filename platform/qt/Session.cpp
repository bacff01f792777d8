// One copy per session through a lock file and a local socket beside it, both in the user's
// runtime folder and named after the session's display.
#include "platform/Session.h"

#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>
#include <memory>

#include "platform/Application.h"
#include "platform/Runtime.h"
#include "platform/Version.h"
#include "platform/linux/display/DisplayProbe.h"
#include "platform/qt/DisplayLoss.h"
#include "platform/qt/MainLoop.h"
#include "platform/qt/QuitSignals.h"
#include "platform/qt/SessionHooks.h"
#include "platform/qt/WindowImpl.h"

namespace platform {
namespace {

constexpr char kReopenRequest[] = "reopen\n";
constexpr char kReopenAnswer[] = "ok\n";
// How long a new start keeps trying to reach the copy that holds the session: enough for one
// that is still starting, or quitting and saving, to get there.
constexpr int kHandOverMilliseconds = 10000;
constexpr int kRetryMilliseconds = 100;

struct SessionState {
  bool joined = false;
  std::unique_ptr<QLockFile> lock;
  QString serverPath;
  QLocalServer* server = nullptr;
};

SessionState& State() {
  static SessionState state;
  return state;
}

// A session is told apart by its display: a start on another display is another session.
QString SessionFileBase() {
  QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
  if (display.isEmpty()) {
    display = qEnvironmentVariable("DISPLAY");
    // ":0" and ":0.0" are one server.
    const auto colon = display.lastIndexOf(QLatin1Char(':'));
    const auto dot = display.indexOf(QLatin1Char('.'), colon < 0 ? 0 : colon);
    if (colon >= 0 && dot > colon) display.truncate(dot);
  }
  if (display.isEmpty()) display = qEnvironmentVariable("QT_QPA_PLATFORM");
  QString name = QString::fromUtf8(build::kApplicationName) + QLatin1Char('-');
  for (const QChar c : display) {
    const bool plain = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                       (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                       (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-');
    name += plain ? c : QLatin1Char('_');
  }
  return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QLatin1Char('/') +
         name;
}

// Asks the copy listening at `path` to bring its main window forward. True once it has said
// it will.
bool AskToReopen(const QString& path) {
  QLocalSocket socket;
  socket.connectToServer(path);
  if (!socket.waitForConnected(1000)) return false;
  socket.write(kReopenRequest);
  if (!socket.waitForBytesWritten(1000)) return false;
  while (!socket.canReadLine())
    if (!socket.waitForReadyRead(2000)) return false;
  return socket.readLine() == kReopenAnswer;
}

void AnswerHandOver(QLocalSocket* socket) {
  QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
  QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket] {
    if (!socket->canReadLine()) return;
    const bool reopen = socket->readLine() == kReopenRequest;
    if (reopen) socket->write(kReopenAnswer);
    socket->disconnectFromServer();  // after what is written has gone out
    if (!reopen) return;
    qt::RunBetweenEvents([] {
      if (auto app = Runtime::GetAppObject()) app->Event_Reopen();
    });
  });
}

void Listen() {
  auto& state = State();
  // A socket left by a copy that was killed; the lock says that no live copy owns it.
  QLocalServer::removeServer(state.serverPath);
  state.server = new QLocalServer;
  state.server->setSocketOptions(QLocalServer::UserAccessOption);
  if (!state.server->listen(state.serverPath)) return;  // later starts wait, then say so
  QObject::connect(state.server, &QLocalServer::newConnection, state.server, [] {
    while (QLocalSocket* socket = State().server->nextPendingConnection()) AnswerHandOver(socket);
  });
}

void StopListening() {
  auto& state = State();
  delete state.server;  // closing removes the socket file
  state.server = nullptr;
}

}  // namespace

Session::Entry Session::Join(std::string& detail) {
  auto& state = State();
  if (!linux_display::FindDisplay(detail)) return Entry::NoDisplay;

  const QString base = SessionFileBase();
  state.serverPath = base + QLatin1String(".socket");
  auto lock = std::make_unique<QLockFile>(base + QLatin1String(".lock"));
  // Only a live owner counts: the lock of a copy that was killed is taken over at once.
  lock->setStaleLockTime(0);
  QElapsedTimer waited;
  waited.start();
  while (!lock->tryLock(0)) {
    if (lock->error() != QLockFile::LockFailedError) {
      // No lock can be made there: better a run that cannot tell a second copy than none.
      lock.reset();
      break;
    }
    if (AskToReopen(state.serverPath)) {
      linux_display::ReleaseDisplay();
      return Entry::HandedOver;
    }
    if (waited.hasExpired(kHandOverMilliseconds)) {
      linux_display::ReleaseDisplay();
      detail = "it holds " + base.toStdString() + ".lock";
      return Entry::Unanswered;
    }
    QThread::msleep(kRetryMilliseconds);
  }
  state.lock = std::move(lock);
  state.joined = true;
  qt::InstallQuitSignals();
  return Entry::Joined;
}

void qt::SessionFrameworkUp() {
  // The framework holds its own connection now.
  linux_display::ReleaseDisplay();
  auto& state = State();
  if (!state.joined) return;
  if (state.lock) Listen();  // without the lock the socket may be another copy's
  WatchQuitSignals();
  QuietQtAfterDisplayLoss();
  // The registries the guard works on must outlive it: exit handlers run in reverse order of
  // registration, and a static is registered when it is first used.
  (void)qt::OpenWindows();
  (void)Runtime::GetAppObject();
  ArmDisplayLossGuard();
}

void qt::SessionLoopStarting() {
  if (State().joined) ArmDisplayLossGuard();
}

void qt::SessionQuitting() { StopListening(); }

void qt::LeaveSession() {
  auto& state = State();
  if (!state.joined) return;
  DisarmDisplayLossGuard();
  RestoreQuitSignals();
  StopListening();
  state.lock.reset();  // unlocks
  state.joined = false;
}

}  // namespace platform
