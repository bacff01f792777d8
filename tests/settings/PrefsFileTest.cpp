#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Application.h"
#include "platform/Exceptions.h"
#include "platform/Files.h"
#include "platform/Runtime.h"
#include "platform/Yield.h"
#include "settings/BrioEasyPrefs.h"
#include "tests/settings/PrefsTestSupport.h"
#include "tests/support/UserAttributes.h"

using namespace BrioEasyPrefs;
using testsupport::Entries;
using testsupport::kCannotInit;
using testsupport::Names;
using testsupport::ReadBytes;
using testsupport::StoreEntries;

namespace {
using PrefsFile = testsupport::PrefsTest;
const std::set<std::string> kOnlyTheFile{"ZibRemote.ini"};
}  // namespace

TEST_F(PrefsFile, MissingFileIsCreatedEmptyWithoutMessageOrEntries) {
  Init();
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(StoreEntries(), Entries{});
  EXPECT_EQ(PrefFilePath(), FilePath());
  EXPECT_EQ(ReadBytes(FilePath()), "");
  EXPECT_EQ(platform::FolderItem(FilePath()).MacType(), "");  // no "pref" before the first save
}

TEST_F(PrefsFile, ReadsLinePairsInFileOrder) {
  struct Case {
    const char* fixture;
    Entries entries;
  } cases[] = {
      {"empty.ini", {}},
      {"pairs.ini",
       {{"Key1", "F1"}, {"Shift1", "true"}, {"Empty", ""}, {"Unicode", "caf\xC3\xA9 \xFF"}}},
      {"odd.ini", {{"a", "1"}, {"b", ""}}},  // the last name gets the empty text
      {"odd-unterminated.ini", {{"a", "1"}, {"b", ""}}},
      {"crlf.ini", {{"Key1", "F1"}, {"Alt1", "false"}}},
      {"cr-only.ini",  // lone CRs, as older Mac programs wrote; no last terminator
       {{"Key1", "F1"}, {"Shift1", "true"}, {"Empty", ""}, {"Alt1", "false"}}},
      {"bom.ini", {{"Key1", "F1"}, {"Shift1", "true"}}},  // a byte order mark before Key1
      {"duplicates.ini", {{"Key1", "first"}, {"Other", "x"}, {"key1", "second"}}},
  };
  for (const auto& c : cases) {
    ReleaseModuleState();
    InitModuleState();
    PlaceFixture(c.fixture);
    const auto before = platform::YieldCount();
    Init();
    EXPECT_EQ(StoreEntries(), c.entries) << c.fixture;
    EXPECT_EQ(platform::YieldCount() - before, c.entries.size()) << c.fixture;  // one per pair
    EXPECT_EQ(PrefFilePath(), FilePath());
  }
  EXPECT_TRUE(messages_.empty());
}

TEST_F(PrefsFile, DuplicateNamesFirstOneWinsAndBothAreWrittenBack) {
  PlaceFixture("duplicates.ini");
  Init();
  EXPECT_EQ(GetPrefString("KEY1", ""), "first");
  SetPrefString("Key1", "changed");
  WritePrefsFile();
  EXPECT_EQ(ReadBytes(FilePath()), "Key1\nchanged\nOther\nx\nkey1\nsecond\n");
}

TEST_F(PrefsFile, OddFileIsSavedWithAnEvenNumberOfLines) {
  PlaceFixture("odd-unterminated.ini");
  Init();
  WritePrefsFile();
  EXPECT_EQ(ReadBytes(FilePath()), "a\n1\nb\n\n");
}

TEST_F(PrefsFile, WrittenFileReadsBackTheSameEntries) {
  const Entries entries{{"Key1", "F1"},
                        {"Shift1", "true"},
                        {"Empty", ""},
                        {"", "empty name"},
                        {"tab\tname", " x "},
                        {"bytes", "caf\xC3\xA9 \xFF"},
                        {"nul", std::string("a\0b", 3)}};
  Init();
  std::string expectedFile;
  for (const auto& [name, value] : entries) {
    SetPrefString(name, value);
    expectedFile += name + "\n" + value + "\n";  // 2n lines, each ended by LF
  }
  WritePrefsFile();
  EXPECT_EQ(ReadBytes(FilePath()), expectedFile);
  ReleaseModuleState();
  InitModuleState();
  Init();
  EXPECT_EQ(StoreEntries(), entries);
  EXPECT_TRUE(messages_.empty());
}

TEST_F(PrefsFile, SecondInitAppendsTheFileAgainAfterTheHeldEntries) {
  PlaceFile("a\n1\nb\n2\n");
  Init();
  SetPrefString("a", "changed");
  Init();
  EXPECT_EQ(StoreEntries(), (Entries{{"a", "changed"}, {"b", "2"}, {"a", "1"}, {"b", "2"}}));
  EXPECT_EQ(GetPrefString("a", ""), "changed");
  WritePrefsFile();
  EXPECT_EQ(ReadBytes(FilePath()), "a\nchanged\nb\n2\na\n1\nb\n2\n");
}

TEST_F(PrefsFile, LineBreaksInNamesAndValuesAreCutSoPairsStayAligned) {
  struct Case {
    std::string name, value, nameLine, valueLine;
  } cases[] = {
      {"Key1", "F1\nShift1", "Key1", "F1"},     {"two\r\nlines", "v", "two", "v"},
      {"cr\rinside", "value\r", "cr", "value"}, {"\nleading", "\r\n", "", ""},
      {"last", "plain", "last", "plain"},
  };
  Init();
  std::string expectedFile;
  for (const auto& c : cases) {
    SetPrefString(c.name, c.value);
    expectedFile += c.nameLine + "\n" + c.valueLine + "\n";
  }
  WritePrefsFile();
  EXPECT_EQ(ReadBytes(FilePath()), expectedFile);
  EXPECT_EQ(GetPrefString("Key1", ""), "F1\nShift1");  // memory keeps what was set

  ReleaseModuleState();
  InitModuleState();
  Init();
  ASSERT_EQ(StoreEntries().size(), std::size(cases));
  EXPECT_EQ(StoreEntries().back(), (std::pair<std::string, std::string>{"last", "plain"}));
}

// The entries of such a file are the ones the table looks up: a change lands in place, and the
// save writes plain LF lines with no byte order mark and no stray second "Key1".
TEST_F(PrefsFile, CrOnlyAndByteOrderMarkFilesAreSavedAsPlainLinesWithoutAStrayEntry) {
  struct Case {
    const char* fixture;
    std::string saved;
  } cases[] = {
      {"cr-only.ini", "Key1\nF2\nShift1\ntrue\nEmpty\n\nAlt1\nfalse\n"},
      {"bom.ini", "Key1\nF2\nShift1\ntrue\n"},
  };
  for (const auto& c : cases) {
    ReleaseModuleState();
    InitModuleState();
    PlaceFixture(c.fixture);
    Init();
    SetPrefString("Key1", "F2");
    WritePrefsFile();
    EXPECT_EQ(ReadBytes(FilePath()), c.saved) << c.fixture;
  }
  EXPECT_TRUE(messages_.empty());
}

// A settings file that is a link to what cannot hold it: the save puts a regular file in the
// link's place and leaves what the link pointed at alone.
TEST_F(PrefsFile, LinkToAFifoIntoAMissingFolderOrInALoopGivesWayToARegularFileAtTheSave) {
  std::filesystem::create_directories(ConfigFolder());
  ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0644), 0);
  struct Case {
    const char* what;
    std::string target;
    std::vector<std::string> messages;
  } cases[] = {
      {"a FIFO", dir_ / "fifo", kCannotInit},  // exists, but is no file to read
      {"a missing folder", dir_ / "no such folder/ZibRemote.ini", {}},
      {"a loop", "ZibRemote.ini", {}},
  };
  for (const auto& c : cases) {
    ReleaseModuleState();
    InitModuleState();
    messages_.clear();
    std::filesystem::remove(FilePath());
    std::filesystem::create_symlink(c.target, FilePath());
    Init();
    EXPECT_EQ(messages_, c.messages) << c.what;
    EXPECT_EQ(PrefFilePath(), FilePath()) << c.what;
    SetPrefString("Key1", "F1");
    EXPECT_NO_THROW(WritePrefsFile()) << c.what;
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(FilePath())))
        << c.what;
    EXPECT_EQ(ReadBytes(FilePath()), "Key1\nF1\n") << c.what;
    EXPECT_EQ(Names(ConfigFolder()), kOnlyTheFile) << c.what;
  }
  EXPECT_TRUE(std::filesystem::is_fifo(dir_ / "fifo"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "no such folder"));
}

TEST_F(PrefsFile, FileThatCannotBeOpenedShowsTheMessageAndKeepsTheItem) {
  SetPrefString("held", "1");
  std::filesystem::create_directories(FilePath() + "/not a file");  // a folder in its place
  Init();
  EXPECT_EQ(messages_, kCannotInit);
  EXPECT_EQ(PrefFilePath(), FilePath());
  EXPECT_EQ(StoreEntries(), (Entries{{"held", "1"}}));

  // A save does not remove a folder: it fails, and leaves the folder and no temporary file.
  EXPECT_THROW(WritePrefsFile(), platform::IOException);
  EXPECT_TRUE(std::filesystem::is_directory(FilePath() + "/not a file"));
  EXPECT_EQ(Names(ConfigFolder()), kOnlyTheFile);

  std::filesystem::remove_all(FilePath());
  WritePrefsFile();
  EXPECT_EQ(ReadBytes(FilePath()), "held\n1\n");
}

TEST_F(PrefsFile, NoPreferencesFolderOrNoItemLeavesPrefFileAsItWas) {
  struct Case {
    const char* what;
    bool badFolder;
    std::string fileName;
  } cases[] = {
      {"no Preferences folder", true, "ZibRemote.ini"},
      {"empty file name", false, ""},
      {"name with a slash", false, "sub/ZibRemote.ini"},
      {"dot dot", false, ".."},
  };
  testsupport::WriteBytes(dir_ / "plain file", "");
  for (bool afterGoodCall : {false, true}) {
    for (const auto& c : cases) {
      ReleaseModuleState();
      InitModuleState();
      messages_.clear();
      if (afterGoodCall) Init();
      const auto before = BrioEasyPrefs::PrefFile();
      SetPrefString("held", "1");
      {
        std::optional<testsupport::ScopedEnv> bad;
        if (c.badFolder) bad.emplace("XDG_CONFIG_HOME", dir_ / "plain file/config");
        BrioEasyPrefs::InitPrefFile(c.fileName, false);
      }
      EXPECT_EQ(messages_, kCannotInit) << c.what;
      EXPECT_EQ(BrioEasyPrefs::PrefFile(), before) << c.what;
      EXPECT_EQ(StoreEntries(), (Entries{{"held", "1"}})) << c.what;
    }
  }
}

TEST_F(PrefsFile, MissingFileThatCannotBeCreatedIsNotReported) {
  std::filesystem::create_directories(ConfigFolder());
  std::filesystem::create_symlink(dir_ / "no such folder/ZibRemote.ini", FilePath());
  Init();
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(PrefFilePath(), FilePath());
  EXPECT_EQ(StoreEntries(), Entries{});
  EXPECT_FALSE(std::filesystem::exists(dir_ / "no such folder"));
}

TEST_F(PrefsFile, ReadFailureKeepsWholePairsAndDropsAnUnfinishedName) {
  struct Case {
    std::uint64_t failingLine;
    Entries kept;
  } cases[] = {
      {1, {}},                                    // first name
      {2, {}},                                    // between name 1 and value 1: name 1 dropped
      {3, {{"a", "1"}}},                          // second name
      {4, {{"a", "1"}}},                          // between name 2 and value 2: name 2 dropped
      {6, {{"a", "1"}, {"b", "2"}}},              // last value
      {7, {{"a", "1"}, {"b", "2"}, {"c", "3"}}},  // never reached
  };
  for (const auto& c : cases) {
    ReleaseModuleState();
    InitModuleState();
    messages_.clear();
    PlaceFile("a\n1\nb\n2\nc\n3\n");
    auto previous = platform::SetReadLineProbe([&](const std::string& path, std::uint64_t line) {
      if (line == c.failingLine) throw platform::IOException(path, "Input/output error");
    });
    Init();
    platform::SetReadLineProbe(previous);
    EXPECT_EQ(StoreEntries(), c.kept) << "line " << c.failingLine;
    EXPECT_EQ(messages_.size(), c.failingLine <= 6 ? 1u : 0u) << "line " << c.failingLine;
    EXPECT_EQ(PrefFilePath(), FilePath());
  }
}

TEST_F(PrefsFile, WriteWithoutAChosenFileFailsBeforeTouchingTheDisk) {
  SetPrefString("a", "1");
  EXPECT_THROW(WritePrefsFile(), platform::NilObjectException);
  EXPECT_FALSE(std::filesystem::exists(ConfigFolder()));
}

TEST_F(PrefsFile, SymlinkedSettingsFileKeepsItsLink) {
  std::filesystem::create_directories(dir_ / "dotfiles");
  std::filesystem::create_directories(ConfigFolder());
  testsupport::WriteBytes(dir_ / "dotfiles/ZibRemote.ini", "Key1\nF1\n");
  std::filesystem::create_symlink("../dotfiles/ZibRemote.ini", FilePath());
  Init();
  EXPECT_EQ(StoreEntries(), (Entries{{"Key1", "F1"}}));
  SetPrefString("Key1", "F2");
  WritePrefsFile();
  EXPECT_TRUE(std::filesystem::is_symlink(FilePath()));
  EXPECT_EQ(std::filesystem::read_symlink(FilePath()), "../dotfiles/ZibRemote.ini");
  EXPECT_EQ(ReadBytes(dir_ / "dotfiles/ZibRemote.ini"), "Key1\nF2\n");
  EXPECT_EQ(Names(ConfigFolder()), kOnlyTheFile);
  EXPECT_EQ(Names(dir_ / "dotfiles"), kOnlyTheFile);
}

TEST_F(PrefsFile, SaveRecordsTheTypePrefWhereTheFileSystemAllows) {
  Init();
  SetPrefString("a", "1");
  WritePrefsFile();
  if (const auto refused = testsupport::UserAttributesRefused(ConfigFolder()))
    GTEST_SKIP() << *refused;
  EXPECT_EQ(platform::FolderItem(FilePath()).MacType(), "pref");
}

TEST_F(PrefsFile, BesideTheApplicationUsesTheExecutablesFolder) {
  const std::string name = "ZibPrefsBesideApp-" + std::to_string(::getpid()) + ".ini";
  const std::string expected = platform::GetFolderItem("")->Child(name)->AbsolutePath();

  // Without an application object the choice stops after the first assignment.
  platform::Runtime::RegisterAppObject(nullptr);
  InitPrefFile(name, true);
  EXPECT_EQ(messages_, kCannotInit);
  EXPECT_EQ(PrefFilePath(), expected);
  EXPECT_FALSE(std::filesystem::exists(expected));

  messages_.clear();
  platform::Runtime::RegisterAppObject(std::make_shared<platform::Application>());
  InitPrefFile(name, true);  // not a bundle on Linux: the file goes beside the executable
  platform::Runtime::RegisterAppObject(nullptr);
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(PrefFilePath(), expected);
  EXPECT_TRUE(std::filesystem::exists(expected));
  std::filesystem::remove(expected);
}
