#include "platform/qt/QuitSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>
#include <array>
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
volatile std::sig_atomic_t signalled = 0;
std::array<bool, kQuitSignals.size()> caught{};
QSocketNotifier* notifier = nullptr;

extern "C" void OnQuitSignal(int signal) {
  if (signalled != 0) {
    // Asked once already and not gone yet: the user means it. The default action ends the
    // process when the handler returns.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return;
  }
  signalled = 1;
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
  signalled = 0;
  struct sigaction action {};
  action.sa_handler = OnQuitSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < kQuitSignals.size(); ++i) {
    // A signal ignored from the start stays ignored: `nohup` is meant to outlive the terminal.
    struct sigaction inherited {};
    if (sigaction(kQuitSignals[i], nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN)
      continue;
    caught[i] = sigaction(kQuitSignals[i], &action, nullptr) == 0;
  }
}

void WatchQuitSignals() {
  if (pipeEnds[0] < 0 || notifier != nullptr || !FrameworkRunning()) return;
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
  for (std::size_t i = 0; i < kQuitSignals.size(); ++i)
    if (std::exchange(caught[i], false)) std::signal(kQuitSignals[i], SIG_DFL);
  delete notifier;
  notifier = nullptr;
  DrainPipe();
  signalled = 0;
}

}  // namespace platform::qt
