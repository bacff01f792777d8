#include <sys/stat.h>

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "platform/Files.h"
#include "tests/support/TempFolder.h"

using testsupport::ScopedEnv;
using testsupport::TempFolder;

namespace {
mode_t ModeOf(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}
}  // namespace

TEST(SpecialFolderPreferences, FollowsXdgRulesAndMakesTheFolder) {
  TempFolder dir;
  const std::string home = dir / "home";
  ScopedEnv homeEnv("HOME", home);
  struct Case {
    std::optional<std::string> xdgConfigHome;
    std::string expected;
  } cases[] = {
      {dir / "xdg/deep/config", dir / "xdg/deep/config"},   // absolute: used, parents made
      {std::string("relative/config"), home + "/.config"},  // relative: ignored
      {std::string(""), home + "/.config"},                 // empty: ignored
      {std::nullopt, home + "/.config"},                    // unset
  };
  for (const auto& c : cases) {
    ScopedEnv xdg("XDG_CONFIG_HOME", c.xdgConfigHome);
    auto folder = platform::SpecialFolder::Preferences();
    ASSERT_TRUE(folder) << c.expected;
    EXPECT_EQ(folder->AbsolutePath(), c.expected);
    EXPECT_TRUE(folder->Exists());
    EXPECT_EQ(ModeOf(c.expected), 0700u) << c.expected;
  }
  EXPECT_EQ(ModeOf(dir / "xdg"), 0700u);  // a made parent too
}

TEST(SpecialFolderPreferences, NilWhenTheFolderCannotBeMade) {
  TempFolder dir;
  testsupport::WriteBytes(dir / "file", "");
  ScopedEnv xdg("XDG_CONFIG_HOME", dir / "file/config");
  EXPECT_FALSE(platform::SpecialFolder::Preferences());
}

TEST(SpecialFolderApplicationData, FollowsXdgRules) {
  TempFolder dir;
  ScopedEnv homeEnv("HOME", dir / "home");
  {
    ScopedEnv xdg("XDG_DATA_HOME", dir / "data");
    EXPECT_EQ(platform::SpecialFolder::ApplicationData()->AbsolutePath(), dir / "data");
  }
  ScopedEnv xdg("XDG_DATA_HOME", std::string("relative"));
  EXPECT_EQ(platform::SpecialFolder::ApplicationData()->AbsolutePath(), dir / "home/.local/share");
}
