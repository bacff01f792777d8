#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "platform/Exceptions.h"
#include "platform/Files.h"
#include "tests/support/TempFolder.h"
#include "tests/support/UserAttributes.h"

using platform::FolderItem;
using testsupport::Names;
using testsupport::ReadBytes;
using testsupport::TempFolder;
using testsupport::WriteBytes;

namespace {
const std::set<std::string> kOnlyTheFile{"f.ini"};

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}
}  // namespace

TEST(ReplaceTextFile, CommitReplacesTheWholeFileAndKeepsItsPermissions) {
  TempFolder dir;
  WriteBytes(dir / "f.ini", "old 1\nold 2\nold 3\n");
  ASSERT_EQ(::chmod((dir / "f.ini").c_str(), 0640), 0);
  auto out = FolderItem(dir / "f.ini").ReplaceTextFile();
  out->WriteLine("new");
  EXPECT_EQ(ReadBytes(dir / "f.ini"), "old 1\nold 2\nold 3\n");  // untouched until Commit
  out->Commit();
  EXPECT_EQ(ReadBytes(dir / "f.ini"), "new\n");
  EXPECT_EQ(ModeOf(dir / "f.ini"), 0640u);
  EXPECT_EQ(Names(dir.Path()), kOnlyTheFile);
  EXPECT_THROW(out->WriteLine("late"), platform::IOException);
}

TEST(ReplaceTextFile, TheOwnerCanAlwaysReadAndWriteTheReplacement) {
  for (const mode_t oldMode : {0000u, 0200u, 0400u, 0044u}) {
    TempFolder dir;
    WriteBytes(dir / "f.ini", "old\n");
    ASSERT_EQ(::chmod((dir / "f.ini").c_str(), oldMode), 0);
    auto out = FolderItem(dir / "f.ini").ReplaceTextFile();
    out->WriteLine("new");
    out->Commit();
    EXPECT_EQ(ModeOf(dir / "f.ini"), oldMode | 0600u) << std::oct << oldMode;
  }
}

TEST(ReplaceTextFile, MakesAMissingFile) {
  TempFolder dir;
  auto out = FolderItem(dir / "f.ini").ReplaceTextFile();
  out->Commit();
  EXPECT_EQ(ReadBytes(dir / "f.ini"), "");
  EXPECT_EQ(Names(dir.Path()), kOnlyTheFile);
}

TEST(ReplaceTextFile, ReleasedWithoutCommitLeavesTheOldFileAndNoTemporary) {
  TempFolder dir;
  WriteBytes(dir / "f.ini", "old\n");
  {
    auto out = FolderItem(dir / "f.ini").ReplaceTextFile();
    out->WriteLine("new");
  }
  EXPECT_EQ(ReadBytes(dir / "f.ini"), "old\n");
  EXPECT_EQ(Names(dir.Path()), kOnlyTheFile);
}

TEST(ReplaceTextFile, ThroughSymbolicLinksTheLinksStayAndTheTargetIsReplaced) {
  TempFolder dir;
  std::filesystem::create_directories(dir / "dotfiles/deeper");
  WriteBytes(dir / "dotfiles/deeper/f.ini", "old\n");
  std::filesystem::create_symlink("deeper/f.ini", dir / "dotfiles/hop");  // relative, chained
  std::filesystem::create_symlink("dotfiles/hop", dir / "f.ini");
  std::filesystem::create_symlink(dir / "dotfiles/nowhere.ini", dir / "dangling.ini");

  auto out = FolderItem(dir / "f.ini").ReplaceTextFile();
  out->WriteLine("new");
  out->Commit();
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "f.ini"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "dotfiles/hop"));
  EXPECT_EQ(ReadBytes(dir / "dotfiles/deeper/f.ini"), "new\n");
  EXPECT_EQ(Names(dir / "dotfiles/deeper"), kOnlyTheFile);

  auto made = FolderItem(dir / "dangling.ini").ReplaceTextFile();
  made->WriteLine("made");
  made->Commit();
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "dangling.ini"));
  EXPECT_EQ(ReadBytes(dir / "dotfiles/nowhere.ini"), "made\n");
}

TEST(ReplaceTextFile, FailedRenameReportsPathAndSystemErrorAndLeavesNoTemporary) {
  TempFolder dir;
  std::filesystem::create_directories(dir / "f.ini/inside");  // a folder in the file's place
  auto out = FolderItem(dir / "f.ini").ReplaceTextFile();
  out->WriteLine("new");
  try {
    out->Commit();
    FAIL() << "Commit over a folder succeeded";
  } catch (const platform::IOException& e) {
    EXPECT_EQ(e.Path(), dir / "f.ini");
    EXPECT_EQ(e.SystemError(), std::strerror(EISDIR));
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir / "f.ini/inside"));
  EXPECT_EQ(Names(dir.Path()), kOnlyTheFile);
}

TEST(ReplaceTextFile, FailedWriteLeavesTheOldFileByteForByte) {
  TempFolder dir;
  const std::string old = "old name\nold value\r\nno terminator";
  WriteBytes(dir / "f.ini", old);
  auto out = FolderItem(dir / "f.ini").ReplaceTextFile();
  {
    testsupport::ScopedFileSizeLimit limit(4096);
    try {
      for (int i = 0; i < 1000; ++i) out->WriteLine("a line of some forty bytes, more or less");
      FAIL() << "writes past the file size limit succeeded";
    } catch (const platform::IOException& e) {
      EXPECT_EQ(e.Path(), dir / "f.ini");
      EXPECT_EQ(e.SystemError(), std::strerror(EFBIG));
    }
  }
  EXPECT_THROW(out->Commit(), platform::IOException);  // incomplete content is never committed
  EXPECT_EQ(ReadBytes(dir / "f.ini"), old);
  EXPECT_EQ(Names(dir.Path()), kOnlyTheFile);
}

TEST(ReplaceTextFile, CannotBeginInAMissingFolder) {
  TempFolder dir;
  try {
    FolderItem(dir / "missing/f.ini").ReplaceTextFile();
    FAIL() << "began a replacement in a missing folder";
  } catch (const platform::IOException& e) {
    EXPECT_EQ(e.Path(), dir / "missing");
    EXPECT_EQ(e.SystemError(), std::strerror(ENOENT));
  }
}

TEST(ReplaceTextFile, TheTypeArrivesWithTheNewContent) {
  TempFolder dir;
  if (const auto refused = testsupport::UserAttributesRefused(dir.Path())) GTEST_SKIP() << *refused;
  FolderItem item(dir / "f.ini");
  WriteBytes(item.AbsolutePath(), "old\n");
  item.SetMacType("TEXT");
  ASSERT_EQ(item.MacType(), "TEXT");
  auto out = item.ReplaceTextFile();
  out->WriteLine("new");
  out->SetMacType("pref");
  EXPECT_EQ(item.MacType(), "TEXT");
  out->Commit();
  EXPECT_EQ(item.MacType(), "pref");
}
