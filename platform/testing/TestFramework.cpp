#include "platform/testing/TestFramework.h"

#include "platform/MsgBox.h"
#include "platform/Plugins.h"
#include "platform/Runtime.h"

namespace platform::testing {

TestFramework::TestFramework() {
  static int argc = 1;
  static char name[] = "zib_test";
  static char* argv[] = {name, nullptr};
  remote = ScriptedRemote::Install();
  keys = RecordingKeys::Install();
  SetMsgBoxPresenter([this](const std::string& text) { messages.push_back(text); });
  Runtime::SetUnhandledPresenter([this](const std::string& className, const std::string& text) {
    unhandled.emplace_back(className, text);
  });
  Runtime::Init(argc, argv);
  Runtime::RunFrameworkInitialization({});
}

int TestFramework::Finish() {
  if (finished_) return 0;
  finished_ = true;
  const int status = Runtime::Exit();
  Runtime::SetUnhandledPresenter(nullptr);
  SetMsgBoxPresenter(nullptr);
  Plugins::SetRemoteFactory(nullptr);
  Plugins::SetKeyOutput(nullptr);
  return status;
}

TestFramework::~TestFramework() { Finish(); }

}  // namespace platform::testing
