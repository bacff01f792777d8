// The application's receiver code following the receiver being unplugged and plugged in again,
// and a new node that lets the user read it only a while after it appears.
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include "tests/kernel/Listener.h"

namespace zibk {

std::string CheckHotplug() {
  Listener listener;
  listener.Start();
  // Listening with no receiver waits without waking.
  auto cpu = CpuTime();
  listener.loop().RunFor(Millis{500});
  auto used = CpuTime() - cpu;
  Expect(used < Millis{100},
         "waiting for a receiver used " + std::to_string(used.count()) + " ms of CPU in 500 ms");

  FakeReceiver receiver(kReceiver);
  receiver.Plug();
  Expect(listener.RunUntil([&] { return listener.session().hasDevice(); }),
         "a receiver plugged in while listening was not opened");
  receiver.SendPress(IrButton::Menu);
  ExpectEvents(listener.Collect(1), {{code::kMenu, true}}, "a click after plugging in");

  receiver.Unplug();
  Expect(listener.RunUntil([&] { return !listener.session().hasDevice(); }),
         "the unplugged receiver was not let go");
  Expect(listener.session().listening(), "unplugging stopped listening");
  cpu = CpuTime();
  listener.loop().RunFor(Millis{500});
  used = CpuTime() - cpu;
  Expect(used < Millis{100}, "after unplugging, 500 ms of listening used " +
                                 std::to_string(used.count()) + " ms of CPU");

  receiver.Plug();
  Expect(listener.RunUntil([&] { return listener.session().hasDevice(); }),
         "the receiver plugged in again was not opened");
  receiver.SendPress(IrButton::Play);
  ExpectEvents(listener.Collect(1), {{code::kPlay, true}}, "a click after plugging in again");

  // Pulled out in the middle of a hold: the hold ends, and listening goes on.
  std::vector<Report> reports;
  HoldButton(receiver, IrButton::Right, Millis{700}, [&] { listener.loop().RunFor(kRepeatGap); });
  receiver.Unplug();
  reports = listener.Collect(2);
  ExpectEvents(reports, {{code::kRightHold, true}, {code::kRightHold, false}},
               "unplugging in the middle of a right hold");
  receiver.Plug();
  Expect(listener.RunUntil([&] { return listener.session().hasDevice(); }),
         "the receiver plugged in after a hold was not opened");
  receiver.SendPress(IrButton::Left);
  ExpectEvents(listener.Collect(1), {{code::kLeft, true}}, "a click after that");
  return "a receiver plugged in while listening is opened; unplugged, it is let go without a "
         "busy loop (< 100 ms CPU per 500 ms); plugged in again, its clicks come; a hold cut by "
         "unplugging ends with its release";
}

namespace {

// One line from the other end of a pipe, waiting at most `timeout`.
std::string ReadLine(int fd, Millis timeout) {
  std::string line;
  const auto end = Clock::now() + timeout;
  while (Clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    const auto left = std::chrono::duration_cast<Millis>(end - Clock::now()).count();
    if (poll(&p, 1, static_cast<int>(left) + 1) <= 0) continue;
    char c = 0;
    if (read(fd, &c, 1) != 1) break;
    if (c == '\n') return line;
    line += c;
  }
  return line.empty() ? "no answer from the listener" : line;
}

void WriteLine(int fd, const std::string& line) {
  const std::string text = line + "\n";
  if (write(fd, text.data(), text.size()) < 0) _exit(3);
}

// The listener of the permissions check, as a user without rights to the receiver's node until
// the parent gives them. Reports on `out`; never returns.
[[noreturn]] void ListenAsUser(int out) {
  if (setgid(65534) != 0 || setuid(65534) != 0) {
    WriteLine(out, "cannot become an ordinary user");
    _exit(1);
  }
  Listener listener;
  listener.Start();
  WriteLine(out, "listening");
  if (!listener.RunUntil([&] { return listener.session().hasDevice(); }, Millis{10000})) {
    WriteLine(out, "the receiver was not opened once its node allowed it");
    _exit(1);
  }
  WriteLine(out, "opened");
  const auto reports = listener.Collect(1);
  const auto got = Events(reports);
  WriteLine(out, got == std::vector<RemoteEvent>{{code::kMenu, true}} ? "clicked"
                                                                      : "got " + Describe(got));
  _exit(0);
}

}  // namespace

std::string CheckNodeAllowedLater() {
  int pipeFds[2];
  Expect(pipe(pipeFds) == 0, "no pipe");
  const pid_t child = fork();
  Expect(child >= 0, "no fork");
  if (child == 0) {
    close(pipeFds[0]);
    ListenAsUser(pipeFds[1]);
  }
  close(pipeFds[1]);
  struct Reap {
    pid_t pid;
    int fd;
    ~Reap() {
      close(fd);
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  } reap{child, pipeFds[0]};
  const int from = pipeFds[0];

  std::string line = ReadLine(from, Millis{5000});
  Expect(line == "listening", "the listener said " + line);
  FakeReceiver receiver(kReceiver);
  receiver.Plug();
  const std::string node = ReceiverNode();
  // Longer than the listener's retries of a refused node: only the change of permissions, which
  // the folder watch sees, can bring it to open the node now.
  const Millis refusedFor =
      remote::RemoteSession::kRetryInterval * (remote::RemoteSession::kRetries + 2);
  pollfd early{from, POLLIN, 0};
  Expect(poll(&early, 1, static_cast<int>(refusedFor.count())) == 0,
         "while the node refused the user, the listener said " + ReadLine(from, Millis{100}));
  Expect(chmod(node.c_str(), 0644) == 0, "chmod of " + node + " failed");
  line = ReadLine(from, Millis{5000});
  Expect(line == "opened", "after the node allowed reading: " + line);
  receiver.SendPress(IrButton::Menu);
  line = ReadLine(from, Millis{5000});
  Expect(line == "clicked", "a click on the node opened late: " + line);
  return "a listener without rights to a new receiver node waits; once the node allows reading "
         "(after its retries ran out) it opens it and gets its clicks";
}

}  // namespace zibk
