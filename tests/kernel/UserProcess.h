#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

#include "tests/kernel/EvdevNode.h"

// Parts of a check that must run as an ordinary user, whom the guest's device nodes refuse
// (devtmpfs makes them root's alone) until the check allows them; and what the application's
// code says on standard error.
namespace zibk {

// One end of a two-way line channel over pipes.
class LineChannel {
 public:
  LineChannel(int in, int out) : in_(in), out_(out) {}
  // One line from the other end, waiting at most `timeout`; `none` when nothing came.
  std::string ReadLine(Millis timeout, const std::string& none = "no answer");
  // True when a line (or the end) is waiting, within `timeout`.
  bool Waiting(Millis timeout) const;
  void WriteLine(const std::string& line);

 private:
  int in_;
  int out_;
};

// A child process that becomes the user nobody and runs `body`, talking to the check through
// the channel. Killed and reaped when this goes.
class UserProcess {
 public:
  explicit UserProcess(const std::function<void(LineChannel&)>& body);
  ~UserProcess();
  UserProcess(const UserProcess&) = delete;
  UserProcess& operator=(const UserProcess&) = delete;

  LineChannel& channel() noexcept { return channel_; }

 private:
  pid_t pid_ = -1;
  int fromChild_ = -1;
  int toChild_ = -1;
  LineChannel channel_{-1, -1};
};

// What this process and its children write on standard error while this lives.
class StderrCapture {
 public:
  StderrCapture();
  ~StderrCapture();
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;

  // Everything written so far.
  const std::string& Text();

 private:
  int read_ = -1;
  int saved_ = -1;
  std::string text_;
};

}  // namespace zibk
