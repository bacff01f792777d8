#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/testing/ScriptedRemote.h"
#include "platform/testing/TestFramework.h"
#include "tests/support/TempFolder.h"

namespace zib_bench {

// The program brought up inside the bench: the framework, the application object and the main
// window with its own table, settings kept in a folder of its own (so a run neither reads nor
// changes the user's settings file), and a scripted remote in place of the receiver. The key
// output is whatever the bench installs. Going out of scope closes the window and shuts the
// framework down.
class ProgramUnderBench {
 public:
  ProgramUnderBench();
  ~ProgramUnderBench();
  ProgramUnderBench(const ProgramUnderBench&) = delete;
  ProgramUnderBench& operator=(const ProgramUnderBench&) = delete;

  // Gives the table row `row` the Key `key` and no modifiers, then switches listening on as the
  // user does with the window's button. False, with the reason, when listening did not start.
  bool ListenWithRow(int row, const std::string& key, std::string& error);

  platform::testing::ScriptedRemote& remote() { return *framework_->remote; }

  // The first exception that escaped a handler during the run, as "class: text".
  std::optional<std::string> Unhandled() const;

 private:
  testsupport::ScratchConfigHome config_;
  std::unique_ptr<platform::testing::TestFramework> framework_;
};

}  // namespace zib_bench
