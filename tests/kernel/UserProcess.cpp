#include "tests/kernel/UserProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "tests/kernel/Checks.h"

namespace zibk {

std::string LineChannel::ReadLine(Millis timeout, const std::string& none) {
  std::string line;
  const auto end = Clock::now() + timeout;
  while (Clock::now() < end) {
    const auto left = std::chrono::duration_cast<Millis>(end - Clock::now());
    if (!Waiting(left + Millis{1})) continue;
    char c = 0;
    if (read(in_, &c, 1) != 1) break;
    if (c == '\n') return line;
    line += c;
  }
  return line.empty() ? none : line;
}

bool LineChannel::Waiting(Millis timeout) const {
  pollfd p{in_, POLLIN, 0};
  return poll(&p, 1, static_cast<int>(timeout.count())) > 0;
}

void LineChannel::WriteLine(const std::string& line) {
  const std::string text = line + "\n";
  if (write(out_, text.data(), text.size()) < 0) _exit(3);
}

UserProcess::UserProcess(const std::function<void(LineChannel&)>& body) {
  int up[2];
  int down[2];
  Expect(pipe2(up, O_CLOEXEC) == 0 && pipe2(down, O_CLOEXEC) == 0, "no pipe");
  std::fflush(nullptr);
  pid_ = fork();
  Expect(pid_ >= 0, "no fork");
  if (pid_ == 0) {
    close(up[0]);
    close(down[1]);
    LineChannel channel(down[0], up[1]);
    if (setgid(65534) != 0 || setuid(65534) != 0) {
      channel.WriteLine("cannot become an ordinary user");
      _exit(1);
    }
    try {
      body(channel);
    } catch (const std::exception& e) {
      channel.WriteLine(e.what());
      _exit(1);
    }
    _exit(0);
  }
  close(up[1]);
  close(down[0]);
  fromChild_ = up[0];
  toChild_ = down[1];
  channel_ = LineChannel(fromChild_, toChild_);
}

UserProcess::~UserProcess() {
  close(fromChild_);
  close(toChild_);
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
}

StderrCapture::StderrCapture() {
  int fds[2];
  Expect(pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0, "no pipe for standard error");
  std::fflush(stderr);
  saved_ = dup(STDERR_FILENO);
  Expect(saved_ >= 0 && dup2(fds[1], STDERR_FILENO) == STDERR_FILENO,
         "standard error could not be redirected");
  close(fds[1]);
  read_ = fds[0];
}

StderrCapture::~StderrCapture() {
  std::fflush(stderr);
  dup2(saved_, STDERR_FILENO);
  close(saved_);
  close(read_);
}

const std::string& StderrCapture::Text() {
  char buffer[512];
  ssize_t got = 0;
  while ((got = read(read_, buffer, sizeof buffer)) > 0)
    text_.append(buffer, static_cast<std::size_t>(got));
  return text_;
}

}  // namespace zibk
