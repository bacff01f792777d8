#include "tests/core/CoreTestSupport.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "core/Window1.h"
#include "platform/Keyboard.h"
#include "platform/MsgBox.h"
#include "platform/Plugins.h"
#include "platform/Runtime.h"
#include "platform/Strings.h"
#include "platform/Window.h"
#include "settings/BrioEasyPrefs.h"
#include "shell/App.h"

namespace coretest {

RemoteScript& Remote() {
  static RemoteScript script;
  return script;
}

KeyScript& Keys() {
  static KeyScript script;
  return script;
}

int KeyCodeFor(int charCode) {
  const bool control = charCode == 8 || charCode == 9 || charCode == 10 || charCode == 13 ||
                       charCode == 27 || charCode == 127;
  if ((charCode >= 32 && charCode < 127) || control) return 1000 + charCode;
  return platform::kNoKeyCode;
}

namespace {

class ScriptedReceiver : public platform::RemoteReceiver {
 public:
  bool Available() override { return Remote().available; }
  void Start(Sink sink) override {
    Remote().calls.push_back("start");
    if (Remote().failStart) throw std::runtime_error("receiver cannot be opened");
    Remote().sink = std::move(sink);
  }
  void Stop() override {
    Remote().calls.push_back("stop");
    Remote().sink = nullptr;
  }
  void SetExclusive(bool exclusive) override {
    Remote().calls.push_back(exclusive ? "exclusive=true" : "exclusive=false");
  }
};

class RecordingKeys : public platform::KeyOutput {
 public:
  int KeyCodeFor(int charCode) override { return coretest::KeyCodeFor(charCode); }
  void Press(const platform::KeyStroke& stroke) override { Keys().presses.push_back(stroke); }
};

// The framework once per test program, with the scripted backends in place of the real ones.
class FrameworkEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "core_test";
    static char* argv[] = {name, nullptr};
    platform::Runtime::Init(argc, argv);
    platform::Plugins::SetRemoteFactory([] {
      ++Remote().receiversMade;
      return std::make_unique<ScriptedReceiver>();
    });
    platform::Plugins::SetKeyOutput(std::make_shared<RecordingKeys>());
    platform::Runtime::RunFrameworkInitialization(
        [] { platform::Runtime::RegisterAppObject(std::make_shared<App>()); });
  }
  void TearDown() override { platform::Runtime::Exit(); }
};

[[maybe_unused]] const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new FrameworkEnvironment);

void CloseIfOpen(const char* fullClassName) {
  if (auto window = platform::GetImplicitWindow(fullClassName)) window->Close();
}

}  // namespace

void CoreTest::SetUp() {
  char pattern[] = "/tmp/zib-core-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  configHome_ = pattern;
  setenv("XDG_CONFIG_HOME", configHome_.c_str(), 1);
  BrioEasyPrefs::ReleaseModuleState();
  BrioEasyPrefs::InitModuleState();

  Remote() = RemoteScript{};
  Keys() = KeyScript{};
  platform::Keyboard::SetOptionKeyOverride(false);
  platform::SetMsgBoxPresenter([this](const std::string& text) { messages.push_back(text); });
  platform::Runtime::SetUnhandledPresenter(
      [this](const std::string& className, const std::string& text) {
        unhandled.emplace_back(className, text);
      });
}

void CoreTest::TearDown() {
  CloseIfOpen("HelpWin.HelpWin");
  CloseIfOpen("Window1.Window1");
  platform::Runtime::ProcessPendingEvents();
  platform::Keyboard::SetOptionKeyOverride(std::nullopt);
  platform::SetMsgBoxPresenter(nullptr);
  platform::Runtime::SetUnhandledPresenter(nullptr);
  std::error_code ignored;
  std::filesystem::permissions(configHome_, std::filesystem::perms::owner_all, ignored);
  std::filesystem::remove_all(configHome_, ignored);
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
  const char* source = std::getenv("ZIB_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  std::filesystem::copy_file(std::filesystem::path(source) / "tests/core/fixtures" / name,
                             SettingsFile(), std::filesystem::copy_options::overwrite_existing);
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
    lines.insert(lines.end(), {"Key" + suffix, defaults[id - 1], "Shift" + suffix, "false",
                               "Command" + suffix, "false", "Control" + suffix, "false",
                               "Option" + suffix, "false"});
  }
  return lines;
}

}  // namespace coretest
