#pragma once

#include <string>

namespace platform::evdev_remote {

// What keeps the receiver from working, in the words the user reads on standard error. Each
// names the event node and says what to do where there is something to do.

// The receiver's node did not open for reading; `error` is the errno of the open.
std::string UnreadableNodeNotice(const std::string& node, int error);

// Exclusive mode could not take the node; `error` is the errno of EVIOCGRAB.
std::string GrabRefusedNotice(const std::string& node, int error);

// Writes one notice as a line of the program's own on standard error.
void WriteNotice(const std::string& notice);

}  // namespace platform::evdev_remote
