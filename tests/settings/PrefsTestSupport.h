#pragma once

// A settings store in its start-up state, with its Preferences folder in a scratch folder and
// every message captured instead of shown.

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/MsgBox.h"
#include "settings/BrioEasyPrefs.h"
#include "tests/support/TempFolder.h"

namespace testsupport {

using Entries = std::vector<std::pair<std::string, std::string>>;

// The store's entries, index 1 and up; checks that both lists have the same upper bound and
// that index 0 is still the empty String.
inline Entries StoreEntries() {
  const auto& names = BrioEasyPrefs::PrefNames();
  const auto& items = BrioEasyPrefs::PrefItems();
  EXPECT_EQ(names.size(), items.size());
  EXPECT_EQ(names.at(0), "");
  EXPECT_EQ(items.at(0), "");
  Entries entries;
  for (std::size_t i = 1; i < names.size() && i < items.size(); ++i)
    entries.emplace_back(names[i], items[i]);
  return entries;
}

inline std::string FixturePath(const std::string& name) {
  return std::string(ZIB_SETTINGS_FIXTURES) + "/" + name;
}

class PrefsTest : public ::testing::Test {
 protected:
  static constexpr const char* kFileName = "ZibRemote.ini";

  void SetUp() override {
    xdg_.emplace("XDG_CONFIG_HOME", ConfigFolder());
    BrioEasyPrefs::InitModuleState();
    previousPresenter_ = platform::SetMsgBoxPresenter(
        [this](const std::string& text) { messages_.push_back(text); });
  }
  void TearDown() override {
    platform::SetMsgBoxPresenter(previousPresenter_);
    BrioEasyPrefs::ReleaseModuleState();
  }

  std::string ConfigFolder() const { return dir_ / "config"; }
  std::string FilePath() const { return ConfigFolder() + "/" + kFileName; }

  void PlaceFile(std::string_view bytes) {
    std::filesystem::create_directories(ConfigFolder());
    WriteBytes(FilePath(), bytes);
  }
  void PlaceFixture(const std::string& name) { PlaceFile(ReadBytes(FixturePath(name))); }

  void Init() { BrioEasyPrefs::InitPrefFile(kFileName, false); }

  std::string PrefFilePath() const {
    const auto& file = BrioEasyPrefs::PrefFile();
    return file ? file->AbsolutePath() : std::string("(nil)");
  }

  TempFolder dir_;
  std::optional<ScopedEnv> xdg_;
  std::vector<std::string> messages_;
  platform::MsgBoxPresenter previousPresenter_;
};

inline const std::vector<std::string> kCannotInit{"Cannot init prefs file"};

}  // namespace testsupport
