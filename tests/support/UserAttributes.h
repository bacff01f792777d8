#pragma once

// Whether a folder's file system keeps user extended attributes, asked of the file system itself
// with a raw setxattr. A test of the program's own attribute code skips only when this probe is
// refused, so a fault in that code fails the test instead of passing for a missing feature.

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>

namespace testsupport {

// Nothing when a user attribute can be set on a new file in `folder`; otherwise why not, for the
// skip message. A probe file that cannot even be made is the test's own fault and raises.
inline std::optional<std::string> UserAttributesRefused(const std::string& folder) {
  const std::string probe = folder + "/.user-attribute-probe";
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) throw std::runtime_error("cannot make " + probe + ": " + std::strerror(errno));
  ::close(fd);
  const int result = ::setxattr(probe.c_str(), "user.probe", "1", 1, 0);
  const int error = errno;
  ::unlink(probe.c_str());
  if (result == 0) return std::nullopt;
  return "the file system of " + folder +
         " keeps no user extended attributes (setxattr: " + std::strerror(error) + ")";
}

}  // namespace testsupport
