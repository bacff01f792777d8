// Sends one line to a local (Unix) socket and waits for the line that comes back, as a later
// start of the program does on the running copy's hand-over socket, without being an X client.
// Usage: ask_socket PATH LINE TIMEOUT_MS. Prints what came back (without its newline) and how
// many milliseconds it took, e.g. "ok 12"; "none 500" when nothing came within the time.
// Exits 0 when a line came back, 1 otherwise.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  if (argc != 4 || std::strlen(argv[1]) >= sizeof(sockaddr_un{}.sun_path)) {
    std::fprintf(stderr, "usage: ask_socket PATH LINE TIMEOUT_MS\n");
    return 2;
  }
  const auto started = std::chrono::steady_clock::now();
  const auto deadline = started + std::chrono::milliseconds(std::atol(argv[3]));
  const auto ms = [&] {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - started)
                                 .count());
  };
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, argv[1]);
  const std::string line = std::string(argv[2]) + "\n";
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
    std::perror("ask_socket");
    return 1;
  }
  std::string answer;
  while (answer.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd wait{fd, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&wait, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[64];
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got <= 0) break;
    answer.append(buffer, static_cast<std::size_t>(got));
  }
  const auto end = answer.find('\n');
  if (end == std::string::npos) {
    std::printf("none %ld\n", ms());
    return 1;
  }
  std::printf("%s %ld\n", answer.substr(0, end).c_str(), ms());
  return 0;
}
