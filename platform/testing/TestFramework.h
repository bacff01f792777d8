#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/testing/RecordingKeys.h"
#include "platform/testing/ScriptedRemote.h"

namespace platform::testing {

// The framework brought up for one test on the offscreen platform: the scripted remote and the
// recording keys as backends, message boxes and unhandled exceptions captured instead of shown.
// Going out of scope shuts the framework down again (open windows are let go without events).
class TestFramework {
 public:
  TestFramework();
  ~TestFramework();
  TestFramework(const TestFramework&) = delete;
  TestFramework& operator=(const TestFramework&) = delete;

  std::shared_ptr<ScriptedRemote> remote;
  std::shared_ptr<RecordingKeys> keys;
  std::vector<std::string> messages;                           // MsgBox texts
  std::vector<std::pair<std::string, std::string>> unhandled;  // class name, text
  // Exit()'s status, once the destructor ran; tests may call Finish() to read it earlier.
  int Finish();

 private:
  bool finished_ = false;
};

}  // namespace platform::testing
