#include "platform/linux/display/XServerProbe.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace platform::linux_display {
namespace {

// The X library writes a server's refusal straight to file descriptor 2. For the time of one
// connection attempt, that goes into a pipe instead, and comes back as text.
class StandardErrorCapture {
 public:
  StandardErrorCapture() {
    if (::pipe2(pipe_.data(), O_CLOEXEC | O_NONBLOCK) != 0) return;
    saved_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
    if (saved_ < 0 || ::dup2(pipe_[1], STDERR_FILENO) < 0) Restore();
  }
  ~StandardErrorCapture() {
    Restore();
    for (const int fd : pipe_)
      if (fd >= 0) ::close(fd);
  }
  StandardErrorCapture(const StandardErrorCapture&) = delete;
  StandardErrorCapture& operator=(const StandardErrorCapture&) = delete;

  // What was written meanwhile (as much as the pipe held); standard error is itself again.
  std::string Take() {
    Restore();
    std::string text;
    std::array<char, 512> buffer{};
    ssize_t got = 0;
    while (pipe_[0] >= 0 && (got = ::read(pipe_[0], buffer.data(), buffer.size())) > 0)
      text.append(buffer.data(), static_cast<std::size_t>(got));
    return text;
  }

 private:
  void Restore() {
    if (saved_ < 0) return;
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
    saved_ = -1;
  }

  std::array<int, 2> pipe_{-1, -1};
  int saved_ = -1;
};

bool Mentions(const std::string& text, const char* word) {
  return text.find(word) != std::string::npos;
}

std::string RefusalReason(const std::string& said) {
  if (Mentions(said, "uthoriz") || Mentions(said, "COOKIE") || Mentions(said, "uthenticat"))
    return "as the authorization cookie is wrong or missing";
  std::string reason = said;
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' ')) reason.pop_back();
  for (char& c : reason)
    if (c == '\n') c = ' ';
  return "saying \"" + reason + "\"";
}

}  // namespace

xcb_connection_t* ConnectToXServer(const std::string& display, std::string& whyNot) {
  std::string said;
  xcb_connection_t* connection = nullptr;
  {
    StandardErrorCapture capture;
    connection = xcb_connect(display.c_str(), nullptr);
    said = capture.Take();
  }
  const int error = xcb_connection_has_error(connection);
  if (error == 0) return connection;
  xcb_disconnect(connection);

  const std::string at = "DISPLAY=" + display;
  switch (error) {
    case XCB_CONN_CLOSED_PARSE_ERR:
      whyNot = at + " is not the name of an X display";
      break;
    case XCB_CONN_CLOSED_INVALID_SCREEN:
      whyNot = "the X server at " + at + " has no such screen";
      break;
    case XCB_CONN_ERROR:
      // A server that answered and said no leaves its reason; an absent one leaves nothing.
      whyNot = said.empty()
                   ? "no X server answers at " + at
                   : "the X server at " + at + " refused the connection, " + RefusalReason(said);
      break;
    default:
      whyNot = "the connection to the X server at " + at + " failed (error " +
               std::to_string(error) + ")";
  }
  return nullptr;
}

bool XServerGone(xcb_connection_t* connection, int milliseconds) {
  if (connection == nullptr || xcb_connection_has_error(connection) != 0) return true;
  pollfd socket{xcb_get_file_descriptor(connection), POLLIN, 0};
  if (::poll(&socket, 1, milliseconds) <= 0) return false;
  if ((socket.revents & (POLLHUP | POLLERR)) != 0) return true;
  // Nothing was asked of the server, so anything readable is its end of the stream.
  char byte = 0;
  const auto got = ::recv(socket.fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  return got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

}  // namespace platform::linux_display
