#include "bench/ProgramUnderBench.h"

#include <cstdlib>

#include "core/ButtonEventTable.h"
#include "core/Window1.h"
#include "platform/Keyboard.h"
#include "platform/Runtime.h"
#include "platform/Window.h"
#include "settings/BrioEasyPrefs.h"
#include "shell/App.h"

namespace zib_bench {

ProgramUnderBench::ProgramUnderBench() {
  // Nothing on the screen needs drawing; the keys go to the X display by XTest all the same.
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  BrioEasyPrefs::ReleaseModuleState();
  BrioEasyPrefs::InitModuleState();
  // The bench machine's real Option key must not change how the program starts.
  platform::Keyboard::SetOptionKeyOverride(false);
  framework_ = std::make_unique<platform::testing::TestFramework>();
  platform::Runtime::RegisterAppObject(std::make_shared<App>());
}

ProgramUnderBench::~ProgramUnderBench() {
  if (auto window = platform::GetImplicitWindow("Window1.Window1")) window->Close();
  platform::Runtime::ProcessPendingEvents();
  platform::Runtime::RegisterAppObject(nullptr);
  framework_.reset();
  platform::Keyboard::SetOptionKeyOverride(std::nullopt);
}

bool ProgramUnderBench::ListenWithRow(int row, const std::string& key, std::string& error) {
  auto window = Window1::Instance();
  auto list = window->Listbox1();
  list->SetCell(row, core::kColumnKey, key);
  for (int column :
       {core::kColumnShift, core::kColumnCommand, core::kColumnControl, core::kColumnOption})
    list->SetCellCheck(row, column, false);
  window->PushButton1()->Push();
  platform::Runtime::ProcessPendingEvents();
  if (!window->isListening() || !framework_->remote->Listening()) {
    error = "the main window did not start listening";
    if (!framework_->messages.empty()) error += ": " + framework_->messages.back();
    return false;
  }
  return true;
}

std::optional<std::string> ProgramUnderBench::Unhandled() const {
  if (framework_->unhandled.empty()) return std::nullopt;
  const auto& [className, text] = framework_->unhandled.front();
  return className + ": " + text;
}

}  // namespace zib_bench
