// One round trip of the Wayland wire protocol, done here rather than through the client
// library: its connect blocks on a compositor that does not accept, its dispatch waits without
// end on one that does not answer, and it logs to standard error.
#include "platform/linux/display/WaylandProbe.h"

#include "platform/linux/display/PlatformOrder.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace platform::linux_display {
namespace {

// The display object is always 1; the callback of the one sync request gets the first free id.
constexpr std::uint32_t kDisplayObject = 1;
constexpr std::uint32_t kCallbackObject = 2;
constexpr std::uint16_t kSyncRequest = 0;  // wl_display.sync(new_id callback)
constexpr std::uint16_t kErrorEvent = 0;   // wl_display.error
constexpr std::uint16_t kDoneEvent = 0;    // wl_callback.done
constexpr std::size_t kHeaderBytes = 8;

long long NowMilliseconds() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

bool IsSocket(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

class Socket {
 public:
  Socket() : fd_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) {}
  ~Socket() {
    if (fd_ >= 0) ::close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int fd() const noexcept { return fd_; }

 private:
  int fd_;
};

enum class Reply { kDone, kError, kClosed, kSilent };

// Reads the compositor's messages until the callback is done, the display reports an error,
// the stream ends, or time runs out.
Reply AwaitDone(int fd, long long deadline) {
  std::vector<unsigned char> received;
  for (;;) {
    while (received.size() >= kHeaderBytes) {
      std::uint32_t header[2];
      std::memcpy(header, received.data(), sizeof header);
      const std::size_t size = header[1] >> 16;
      const auto opcode = static_cast<std::uint16_t>(header[1] & 0xffff);
      if (size < kHeaderBytes) return Reply::kClosed;  // not the Wayland protocol
      if (received.size() < size) break;
      if (header[0] == kCallbackObject && opcode == kDoneEvent) return Reply::kDone;
      if (header[0] == kDisplayObject && opcode == kErrorEvent) return Reply::kError;
      received.erase(received.begin(), received.begin() + static_cast<std::ptrdiff_t>(size));
    }
    const long long left = deadline - NowMilliseconds();
    if (left <= 0) return Reply::kSilent;
    pollfd readable{fd, POLLIN, 0};
    const int ready = ::poll(&readable, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return ready == 0 ? Reply::kSilent : Reply::kClosed;
    std::array<unsigned char, 4096> buffer{};
    const ssize_t got = ::recv(fd, buffer.data(), buffer.size(), 0);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0) return Reply::kClosed;
    received.insert(received.end(), buffer.begin(), buffer.begin() + got);
  }
}

}  // namespace

bool WaylandCompositorAnswers(int milliseconds, std::string& whyNot) {
  if (NonEmptyVariable("WAYLAND_SOCKET") != nullptr) return true;
  const char* given = std::getenv("WAYLAND_DISPLAY");
  if (given != nullptr && *given == '\0') {
    // The client library takes an empty name as it is, and finds no socket by it.
    whyNot = "WAYLAND_DISPLAY is empty";
    return false;
  }
  const std::string name = given != nullptr ? given : "wayland-0";
  const std::string at =
      given != nullptr ? "WAYLAND_DISPLAY=" + name : "wayland-0 (WAYLAND_DISPLAY is not set)";
  std::string path = name;
  if (name.front() != '/') {
    const char* runtimeDir = NonEmptyVariable("XDG_RUNTIME_DIR");
    if (runtimeDir == nullptr || runtimeDir[0] != '/') {
      whyNot = "no Wayland compositor at " + at + ": XDG_RUNTIME_DIR is not set";
      return false;
    }
    path = std::string(runtimeDir) + "/" + name;
  }

  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    whyNot = at + " names a path too long for a socket";
    return false;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const long long deadline = NowMilliseconds() + milliseconds;
  Socket socket;
  if (::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int error = errno;
    if (error == EAGAIN) {
      // Its queue of connections waiting to be accepted is full: it has stopped accepting.
      whyNot = "the Wayland compositor at " + at + " does not accept connections";
    } else if (error == ECONNREFUSED && IsSocket(path)) {
      whyNot = "no Wayland compositor answers at " + at;
    } else {
      whyNot = at + " names no compositor socket";
    }
    return false;
  }

  const std::uint32_t sync[3] = {kDisplayObject, (12u << 16) | kSyncRequest, kCallbackObject};
  if (::send(socket.fd(), sync, sizeof sync, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof sync)) {
    whyNot = "the Wayland compositor at " + at + " closed the connection";
    return false;
  }
  switch (AwaitDone(socket.fd(), deadline)) {
    case Reply::kDone:
      return true;
    case Reply::kError:
      whyNot = "the Wayland compositor at " + at + " refused the connection";
      return false;
    case Reply::kClosed:
      whyNot = "the Wayland compositor at " + at + " closed the connection";
      return false;
    case Reply::kSilent:
      break;
  }
  whyNot = "the Wayland compositor at " + at + " did not answer within " +
           (milliseconds % 1000 == 0 ? std::to_string(milliseconds / 1000) + " s"
                                     : std::to_string(milliseconds) + " ms");
  return false;
}

}  // namespace platform::linux_display
