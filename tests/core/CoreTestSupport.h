#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/AppleRemote.h"
#include "platform/KeyPress.h"

class Window1;

namespace coretest {

// What the scripted remote backend saw and what it answers. One receiver per listener; the
// script is shared by all of them.
struct RemoteScript {
  bool available = true;
  bool failStart = false;  // Start raises, as a receiver that cannot be opened
  int receiversMade = 0;
  std::vector<std::string> calls;  // "start", "stop", "exclusive=true" ...
  platform::RemoteReceiver::Sink sink;
};
RemoteScript& Remote();

// Every key press delivered to the key backend. Characters outside ASCII have no key here.
struct KeyScript {
  std::vector<platform::KeyStroke> presses;
};
KeyScript& Keys();
// The key code the recording backend gives a character: distinct from the character code so a
// mix-up shows.
int KeyCodeFor(int charCode);

// Each test starts with no windows, a fresh settings folder, an empty settings store and
// nothing recorded; message boxes and unhandled exceptions are captured, not shown.
class CoreTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::filesystem::path SettingsFile() const { return configHome_ / "ZibRemote.ini"; }
  void WriteSettingsFile(const std::vector<std::string>& lines) const;
  void CopyFixture(const std::string& name) const;
  std::vector<std::string> ReadSettingsFile() const;

  // Closes the main window (its Close event saves the table) and lets the close finish.
  static void CloseMainWindow();

  std::vector<std::string> messages;                            // MsgBox texts, in order
  std::vector<std::pair<std::string, std::string>> unhandled;  // class name, text

 private:
  std::filesystem::path configHome_;
};

// The 140 lines the first save writes for a table holding only its defaults.
std::vector<std::string> DefaultSettingsLines();

}  // namespace coretest
