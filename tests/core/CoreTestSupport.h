#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/testing/TestFramework.h"
#include "tests/support/TempFolder.h"

namespace coretest {

// Each test brings the framework up afresh (scripted remote, recording keys, captured message
// boxes and unhandled exceptions), with the application object registered, a fresh settings
// folder, an empty settings store and the Option key up.
class CoreTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::filesystem::path SettingsFile() const { return config_->Path() / "ZibRemote.ini"; }
  void WriteSettingsFile(const std::vector<std::string>& lines) const;
  void CopyFixture(const std::string& name) const;
  std::vector<std::string> ReadSettingsFile() const;

  // Closes the main window (its Close event saves the table) and lets the close finish.
  static void CloseMainWindow();

  std::unique_ptr<platform::testing::TestFramework> fw;

 private:
  std::optional<testsupport::ScratchConfigHome> config_;
};

// The 140 lines the first save writes for a table holding only its defaults.
std::vector<std::string> DefaultSettingsLines();

}  // namespace coretest
