#pragma once

#include <string>

namespace platform::linux_keys {

// The system's configured keyboard, as the console and the display managers read it.
struct KeyboardConfig {
  std::string model = "pc105";
  std::string layout = "us";
  std::string variant;
  std::string options;
};

// Reads XKBMODEL, XKBLAYOUT, XKBVARIANT and XKBOPTIONS from a file in the format of
// /etc/default/keyboard (shell assignments). A missing file or an empty layout gives US.
KeyboardConfig ReadKeyboardConfig(const std::string& path = "/etc/default/keyboard");

// The same from the file's text.
KeyboardConfig ParseKeyboardConfig(const std::string& text);

}  // namespace platform::linux_keys
