// A Unix socket that accepts every connection and never answers, as a hung compositor's would.
// Usage: silent_socket PATH. Runs until killed.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2 || std::strlen(argv[1]) >= sizeof(sockaddr_un{}.sun_path)) {
    std::fprintf(stderr, "usage: silent_socket PATH\n");
    return 2;
  }
  const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, argv[1]);
  ::unlink(argv[1]);
  if (::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, 16) != 0) {
    std::perror("silent_socket");
    return 1;
  }
  std::vector<int> accepted;  // held open, never read
  for (;;) {
    const int connection = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection >= 0) accepted.push_back(connection);
  }
}
