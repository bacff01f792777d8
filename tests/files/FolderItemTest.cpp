#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Files.h"
#include "tests/support/TempFolder.h"
#include "tests/support/UserAttributes.h"

using platform::FolderItem;
using platform::GetFolderItem;
using testsupport::TempFolder;

TEST(GetFolderItem, EmptyPathIsTheFolderOfTheRunningExecutable) {
  const auto expected = std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
  auto item = GetFolderItem("");
  ASSERT_TRUE(item);
  EXPECT_EQ(item->AbsolutePath(), expected);
  EXPECT_TRUE(item->Exists());
}

TEST(GetFolderItem, AbsolutePathWhoseParentExistsResolvesAnythingElseIsNil) {
  TempFolder dir;
  testsupport::WriteBytes(dir / "file", "x");
  const std::string t = dir.Path();
  struct Case {
    std::string path;
    std::optional<std::string> resolved;
  } cases[] = {
      {t + "/new", t + "/new"},                     // need not exist
      {t + "//new/", t + "/new"},                   // repeated and trailing slashes
      {t + "/./new", t + "/new"},                   // "." components
      {t, t},                                       // a folder
      {"/", "/"},                                   // the root has no parent to check
      {"///", "/"},                                 //
      {"relative/new", std::nullopt},               // not absolute
      {"new", std::nullopt},                        //
      {t + "/missing/new", std::nullopt},           // parent missing
      {t + "/file/new", std::nullopt},              // parent is a file
      {t + std::string("/a\0b", 4), std::nullopt},  // NUL cannot be in a path
  };
  for (const auto& c : cases) {
    auto item = GetFolderItem(c.path, 0);
    if (!c.resolved) {
      EXPECT_FALSE(item) << c.path;
      continue;
    }
    ASSERT_TRUE(item) << c.path;
    EXPECT_EQ(item->AbsolutePath(), *c.resolved) << c.path;
    // The full path text resolves back to the same item.
    EXPECT_EQ(GetFolderItem(item->AbsolutePath())->AbsolutePath(), *c.resolved);
  }
}

TEST(FolderItemChild, NamesThatCannotNameAChildGiveNil) {
  FolderItem folder("/tmp");
  EXPECT_EQ(folder.Child("ZibRemote.ini")->AbsolutePath(), "/tmp/ZibRemote.ini");
  EXPECT_EQ(FolderItem("/").Child("etc")->AbsolutePath(), "/etc");
  EXPECT_EQ(folder.Child(".hidden")->AbsolutePath(), "/tmp/.hidden");
  for (const std::string& bad :
       std::vector<std::string>{"", ".", "..", "a/b", "/", std::string("a\0b", 3)})
    EXPECT_FALSE(folder.Child(bad)) << bad;
}

TEST(FolderItem, ExistsDeleteAndCreate) {
  TempFolder dir;
  auto item = FolderItem(dir.Path()).Child("f.txt");
  EXPECT_FALSE(item->Exists());
  EXPECT_FALSE(item->Delete());  // reported, nothing thrown

  testsupport::WriteBytes(item->AbsolutePath(), "old content\n");
  auto out = item->CreateTextFile();  // empties an existing file
  ASSERT_TRUE(out);
  EXPECT_EQ(testsupport::ReadBytes(item->AbsolutePath()), "");
  out->WriteLine("one");
  out->WriteLine("");
  out->WriteLine("caf\xC3\xA9 \xFF");  // bytes as given
  out.reset();
  EXPECT_EQ(testsupport::ReadBytes(item->AbsolutePath()), "one\n\ncaf\xC3\xA9 \xFF\n");

  EXPECT_TRUE(item->Delete());
  EXPECT_FALSE(item->Exists());
  EXPECT_FALSE(FolderItem(dir / "missing").Child("f")->CreateTextFile());
}

TEST(FolderItemOpenAsTextFile, OnlyRegularFilesOpen) {
  TempFolder dir;
  ASSERT_EQ(::mkdir((dir / "folder").c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
  EXPECT_FALSE(FolderItem(dir / "missing").OpenAsTextFile());
  EXPECT_FALSE(FolderItem(dir / "folder").OpenAsTextFile());
  EXPECT_FALSE(FolderItem(dir / "fifo").OpenAsTextFile());  // and does not hang
  testsupport::WriteBytes(dir / "file", "");
  EXPECT_TRUE(FolderItem(dir / "file").OpenAsTextFile());
}

// A FIFO, through a link or in the item's own place, is never opened for writing, emptied or
// removed; a link to it is removed as a link.
TEST(FolderItem, AFifoIsNeverWrittenToOrRemoved) {
  TempFolder dir;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
  std::filesystem::create_symlink("fifo", dir / "link");
  for (const char* name : {"fifo", "link"}) {
    FolderItem item(dir / name);
    EXPECT_TRUE(item.Exists()) << name;
    EXPECT_FALSE(item.CreateTextFile()) << name;  // and does not hang
    EXPECT_FALSE(item.OpenAsTextFile()) << name;
  }
  EXPECT_FALSE(FolderItem(dir / "fifo").Delete());
  EXPECT_TRUE(FolderItem(dir / "link").Delete());
  EXPECT_FALSE(std::filesystem::is_symlink(dir / "link"));
  EXPECT_TRUE(std::filesystem::is_fifo(dir / "fifo"));
}

TEST(FolderItemMacType, RecordedAsExtendedAttributeWhereSupported) {
  TempFolder dir;
  if (const auto refused = testsupport::UserAttributesRefused(dir.Path())) GTEST_SKIP() << *refused;
  FolderItem item(dir / "typed");
  testsupport::WriteBytes(item.AbsolutePath(), "");
  EXPECT_EQ(item.MacType(), "");
  item.SetMacType("pref");
  EXPECT_EQ(item.MacType(), "pref");
  // The attribute's name is what other tools (getfattr, file managers) see.
  char raw[8] = {};
  EXPECT_EQ(::getxattr(item.AbsolutePath().c_str(), "user.mactype", raw, sizeof raw), 4);
  EXPECT_STREQ(raw, "pref");
  FolderItem(dir / "missing").SetMacType("pref");  // never fails
}
