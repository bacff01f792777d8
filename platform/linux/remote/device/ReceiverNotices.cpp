#include "platform/linux/remote/device/ReceiverNotices.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/Version.h"

namespace platform::evdev_remote {
namespace {

// The system's text for `error`, begun in lower case to sit inside a sentence.
std::string ErrorText(int error) {
  std::string text = std::strerror(error);
  if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}

}  // namespace

std::string UnreadableNodeNotice(const std::string& node, int error) {
  // Without the udev rule the node stays root's: EACCES from the mode, EPERM from a seat's ACL.
  if (error == EACCES || error == EPERM)
    return "cannot read " + node + " (permission denied); see the README's udev rule";
  return "cannot read " + node + " (" + ErrorText(error) + ")";
}

std::string GrabRefusedNotice(const std::string& node, int error) {
  if (error == EBUSY)
    return "exclusive mode refused: another program holds the receiver at " + node +
           "; listening goes on shared";
  return "exclusive mode refused for " + node + " (" + ErrorText(error) +
         "); listening goes on shared";
}

void WriteNotice(const std::string& notice) {
  std::fprintf(stderr, "%s: %s\n", build::kApplicationName, notice.c_str());
  std::fflush(stderr);
}

}  // namespace platform::evdev_remote
