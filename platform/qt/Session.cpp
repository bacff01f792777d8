// One copy per settings file: a lock beside the file, and a local socket in a folder of the
// user's own (the runtime folder where it is fit) through which a later start on the same
// display hands over.
#include "platform/Session.h"

#include <unistd.h>

#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "platform/Application.h"
#include "platform/Files.h"
#include "platform/Runtime.h"
#include "platform/Version.h"
#include "platform/common/session/DisplayIdentity.h"
#include "platform/common/session/RuntimeFolder.h"
#include "platform/common/session/SessionLock.h"
#include "platform/common/session/SessionRecord.h"
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
  std::unique_ptr<session_guard::HeldLock> lock;
  QString serverPath;
  QLocalServer* server = nullptr;
};

SessionState& State() {
  static SessionState state;
  return state;
}

// The lock lives with what it guards: in the folder that holds the settings file.
std::string LockPath(std::string& failure) {
  const auto folder = SpecialFolder::Preferences();
  if (!folder) {
    failure = "no folder for the settings file";
    return {};
  }
  return folder->AbsolutePath() + "/" + build::kApplicationName + ".lock";
}

// One socket per settings folder: the name comes from the folder's path, so that a copy
// killed outright leaves its socket to the next holder of the same lock and no one else.
std::string SocketPath(const std::string& lockPath) {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (const char c : lockPath) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  char name[64];
  std::snprintf(name, sizeof name, "%s-%016llx.socket", build::kApplicationName,
                static_cast<unsigned long long>(hash));
  const std::string runtimeFolder = qEnvironmentVariable("XDG_RUNTIME_DIR").toStdString();
  const session_guard::RuntimePlaces places{runtimeFolder, "/tmp",
                                            lockPath.substr(0, lockPath.rfind('/'))};
  const auto place =
      session_guard::SocketPlaceFor(places, build::kApplicationName, name, ::getuid());
  // The framework wants a runtime folder too; where it has none of the user's own, it says so on
  // standard error. It gets this one, and a Wayland socket named relative to the folder it had
  // keeps its place.
  const std::string folder = place.path.substr(0, place.path.rfind('/'));
  if (place.privateFolder && folder != runtimeFolder) {
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
    if (!wayland.isEmpty() && !wayland.startsWith('/') && !runtimeFolder.empty())
      qputenv("WAYLAND_DISPLAY", QByteArray::fromStdString(runtimeFolder + "/") + wayland);
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(folder));
  }
  return place.path;
}

session_guard::SessionRecord OwnRecord() {
  const auto environment = session_guard::DisplayEnvironment::OfThisProcess();
  const std::string machine = session_guard::MachineName();
  return {machine,
          static_cast<long>(::getpid()),
          {},
          session_guard::DisplayIdentities(environment, machine),
          session_guard::DisplayAsSet(environment)};
}

// Where the holder's display is, in a message's words.
std::string HolderDisplay(const session_guard::SessionRecord& holder,
                          const session_guard::SessionRecord& own) {
  std::string where = holder.displayAsSet;
  if (holder.machine != own.machine) where += " on " + holder.machine;
  return where;
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
    if (reopen) {
      socket->write(kReopenAnswer);
      // Out now, not when the loop next looks: the later start waits for nothing else.
      socket->flush();
    }
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
  // First of all: a logout or Ctrl+C during the display probe or the hand-over wait is kept,
  // not lost to the default action or to a mask the parent left blocked.
  qt::InstallQuitSignals();
  // The displays this start may show on, as the user set them: the probe pins the one platform
  // it found answering, and a copy that could reach the same display through another platform
  // is still on it.
  auto own = OwnRecord();
  if (!qt::Probe().find(detail)) return Entry::NoDisplay;
  if (qt::QuitAsked()) {
    qt::Probe().release();
    return Entry::Signalled;
  }

  std::string failure;
  const std::string lockPath = LockPath(failure);
  own.socket = lockPath.empty() ? std::string() : SocketPath(lockPath);
  const std::string& socketPath = own.socket;
  QElapsedTimer waited;
  waited.start();
  for (;;) {
    if (qt::QuitAsked()) {
      qt::Probe().release();
      return Entry::Signalled;
    }
    auto attempt = lockPath.empty() ? session_guard::LockAttempt{nullptr, false, {}, failure}
                                    : session_guard::TryLock(lockPath);
    if (attempt.held) {
      attempt.held->Publish(session_guard::FormatRecord(own));
      state.lock = std::move(attempt.held);
      state.serverPath = QString::fromStdString(socketPath);
      break;
    }
    if (!attempt.taken) {
      // Better a run that cannot tell a second copy than none.
      detail = attempt.failure;
      state.joined = true;
      return Entry::JoinedWithoutLock;
    }
    // A holder that has not published yet is just starting: it is waited for as one that does
    // not answer yet.
    if (const auto holder = session_guard::ParseRecord(attempt.holderRecord)) {
      if (!session_guard::ShareADisplay(holder->displays, own.displays)) {
        qt::Probe().release();
        detail = HolderDisplay(*holder, own);
        return Entry::OtherDisplay;
      }
      if (!holder->socket.empty() && AskToReopen(QString::fromStdString(holder->socket))) {
        qt::Probe().release();
        return Entry::HandedOver;
      }
    }
    if (waited.hasExpired(kHandOverMilliseconds)) {
      qt::Probe().release();
      detail = "it holds " + lockPath;
      return Entry::Unanswered;
    }
    QThread::msleep(kRetryMilliseconds);
  }
  state.joined = true;
  return Entry::Joined;
}

void qt::SessionFrameworkUp() {
  // The framework holds its own connection now.
  qt::Probe().release();
  auto& state = State();
  if (!state.joined) return;
  // Without the lock the socket may be another copy's.
  if (state.lock && !state.serverPath.isEmpty()) Listen();
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
