#include "platform/qt/QuitSignals.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <utility>

#include "platform/Runtime.h"
#include "platform/qt/MainLoop.h"

namespace platform::qt {
namespace {

constexpr std::array<int, 3> kQuitSignals = {SIGTERM, SIGHUP, SIGINT};

// Written by the handler, read by the main loop; the pipe is made before the first handler.
int pipeEnds[2] = {-1, -1};
// Atomic, not only sig_atomic_t: once the framework has started its threads, two signals may be
// handled at the same moment on two of them.
std::atomic<bool> quitAsked{false};
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "used from a signal handler");
std::array<bool, kQuitSignals.size()> caught{};
QSocketNotifier* notifier = nullptr;

// Runs with all three signals blocked on its thread, so one handler never interrupts another.
extern "C" void OnQuitSignal(int signal) {
  if (signal == SIGINT && interrupted.exchange(true)) {
    // Ctrl+C again while the quit is under way: the user means it. The default action ends the
    // process once the handler returns and the signal is unblocked.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(SIGINT, &fallback, nullptr);
    std::raise(SIGINT);
    return;
  }
  if (quitAsked.exchange(true)) return;  // the quit under way covers this one too
  const int savedErrno = errno;
  const char byte = 1;
  // Only async-signal-safe calls here: the loop does the rest.
  [[maybe_unused]] const auto written = ::write(pipeEnds[1], &byte, 1);
  errno = savedErrno;
}

void DrainPipe() {
  char buffer[16];
  while (::read(pipeEnds[0], buffer, sizeof buffer) > 0) {
  }
}

}  // namespace

void InstallQuitSignals() {
  if (pipeEnds[0] < 0 && ::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  quitAsked = false;
  interrupted = false;
  struct sigaction action {};
  action.sa_handler = OnQuitSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : kQuitSignals) sigaddset(&action.sa_mask, signal);
  action.sa_flags = SA_RESTART;
  sigset_t unblock;
  sigemptyset(&unblock);
  for (std::size_t i = 0; i < kQuitSignals.size(); ++i) {
    // A signal ignored from the start stays ignored: `nohup` is meant to outlive the terminal.
    struct sigaction inherited {};
    if (sigaction(kQuitSignals[i], nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN)
      continue;
    caught[i] = sigaction(kQuitSignals[i], &action, nullptr) == 0;
    if (caught[i]) sigaddset(&unblock, kQuitSignals[i]);
  }
  // A parent's mask is inherited across exec; left blocked, a logout's signal would wait
  // forever. One that came while blocked is delivered here, to the handler just installed.
  pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
}

bool QuitAsked() noexcept { return quitAsked; }

void WatchQuitSignals() {
  if (pipeEnds[0] < 0 || notifier != nullptr || !FrameworkRunning()) return;
  // A byte written before this point is read as soon as a loop runs: the pipe is still
  // readable then.
  notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read);
  QObject::connect(notifier, &QSocketNotifier::activated, [] {
    DrainPipe();
    // A modal box holds its caller until it is answered; closing it lets that handler finish,
    // and the quit follows once it has.
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    RunBetweenEvents([] { Runtime::QuitApplication(); });
  });
}

void RestoreQuitSignals() {
  delete notifier;
  notifier = nullptr;
  DrainPipe();
  // The way out after the loop (the exit handlers, the leak check of a test build) is still
  // the quit a signal asked for: a logout's SIGHUP that comes that late must not turn the
  // status of a saved run into 129.
  if (quitAsked) return;
  for (std::size_t i = 0; i < kQuitSignals.size(); ++i)
    if (std::exchange(caught[i], false)) std::signal(kQuitSignals[i], SIG_DFL);
}

}  // namespace platform::qt
