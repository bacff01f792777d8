#include "tests/core/CoreTestSupport.h"

#include <cstdlib>
#include <fstream>

#include "platform/Keyboard.h"
#include "platform/Runtime.h"
#include "platform/Strings.h"
#include "platform/Window.h"
#include "settings/BrioEasyPrefs.h"
#include "shell/App.h"

namespace coretest {

namespace {

void CloseIfOpen(const char* fullClassName) {
  if (auto window = platform::GetImplicitWindow(fullClassName)) window->Close();
}

}  // namespace

void CoreTest::SetUp() {
  config_.emplace();
  BrioEasyPrefs::ReleaseModuleState();
  BrioEasyPrefs::InitModuleState();
  platform::Keyboard::SetOptionKeyOverride(false);
  fw = std::make_unique<platform::testing::TestFramework>();
  platform::Runtime::RegisterAppObject(std::make_shared<App>());
}

void CoreTest::TearDown() {
  CloseIfOpen("HelpWin.HelpWin");
  CloseIfOpen("Window1.Window1");
  platform::Runtime::ProcessPendingEvents();
  platform::Runtime::RegisterAppObject(nullptr);
  fw.reset();
  platform::Keyboard::SetOptionKeyOverride(std::nullopt);
  config_.reset();
}

void CoreTest::CloseMainWindow() {
  CloseIfOpen("Window1.Window1");
  platform::Runtime::ProcessPendingEvents();
}

void CoreTest::WriteSettingsFile(const std::vector<std::string>& lines) const {
  std::ofstream out(SettingsFile(), std::ios::binary);
  for (const auto& line : lines) out << line << '\n';
}

void CoreTest::CopyFixture(const std::string& name) const {
  std::filesystem::copy_file(std::filesystem::path(ZIB_CORE_FIXTURES) / name, SettingsFile(),
                             std::filesystem::copy_options::overwrite_existing);
}

std::vector<std::string> CoreTest::ReadSettingsFile() const {
  std::ifstream in(SettingsFile(), std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> DefaultSettingsLines() {
  const char* defaults[] = {"P", "U", "F", "", "", "R", "", "", "", "", "", "", "", "H"};
  std::vector<std::string> lines;
  for (int id = 1; id <= 14; ++id) {
    const std::string suffix = platform::Str(id);
    lines.insert(lines.end(),
                 {"Key" + suffix, defaults[id - 1], "Shift" + suffix, "false", "Command" + suffix,
                  "false", "Control" + suffix, "false", "Option" + suffix, "false"});
  }
  return lines;
}

}  // namespace coretest
