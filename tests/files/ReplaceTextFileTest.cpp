#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <set>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "platform/Exceptions.h"
#include "platform/Files.h"
#include "tests/support/ForcedNamedTemporaries.h"
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

// A Unix socket's file at `path`; it stays after the socket is closed.
void MakeSocket(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof(address.sun_path));
  path.copy(address.sun_path, path.size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0)
      << std::strerror(errno);
  ::close(fd);
}

void Replace(const std::string& path, const std::string& line) {
  auto out = FolderItem(path).ReplaceTextFile();
  out->WriteLine(line);
  out->Commit();
}

bool IsRegularFile(const std::string& path) {
  return std::filesystem::is_regular_file(std::filesystem::symlink_status(path));
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

// A link that cannot lead to a regular file gives way to one in its own place, as deleting and
// creating the file would do; whatever it pointed at stays exactly as it was.
TEST(ReplaceTextFile, ALinkThatLeadsNowhereAFileCanBeIsReplacedInItsOwnPlace) {
  TempFolder dir;
  const std::string config = dir / "config", elsewhere = dir / "elsewhere";
  std::filesystem::create_directories(config);
  std::filesystem::create_directories(elsewhere + "/folder/inside");
  ASSERT_EQ(::mkfifo((elsewhere + "/fifo").c_str(), 0644), 0);
  MakeSocket(elsewhere + "/socket");
  WriteBytes(elsewhere + "/plain", "plain\n");
  std::filesystem::create_symlink("fifo", elsewhere + "/chain");
  std::filesystem::create_symlink("../config/loop-a.ini", elsewhere + "/loop-b");
  const std::pair<std::string, std::string> links[] = {
      {"to-fifo.ini", "../elsewhere/fifo"},
      {"to-socket.ini", elsewhere + "/socket"},
      {"to-folder.ini", "../elsewhere/folder"},
      {"via-chain.ini", "../elsewhere/chain"},
      {"into-missing.ini", "../elsewhere/missing/f.ini"},
      {"through-a-file.ini", "../elsewhere/plain/f.ini"},
      {"self-loop.ini", "self-loop.ini"},
      {"loop-a.ini", "../elsewhere/loop-b"},
  };
  std::set<std::string> names;
  for (const auto& [name, target] : links) {
    std::filesystem::create_symlink(target, config + "/" + name);
    Replace(config + "/" + name, "new " + name);
    EXPECT_TRUE(IsRegularFile(config + "/" + name)) << name;
    EXPECT_EQ(ReadBytes(config + "/" + name), "new " + name + "\n");
    names.insert(name);
  }
  EXPECT_EQ(Names(config), names);  // no temporary left
  EXPECT_TRUE(std::filesystem::is_fifo(elsewhere + "/fifo"));
  EXPECT_TRUE(std::filesystem::is_socket(elsewhere + "/socket"));
  EXPECT_TRUE(std::filesystem::is_directory(elsewhere + "/folder/inside"));
  EXPECT_EQ(ReadBytes(elsewhere + "/plain"), "plain\n");
  EXPECT_EQ(std::filesystem::read_symlink(elsewhere + "/chain"), "fifo");
  EXPECT_EQ(Names(elsewhere),
            (std::set<std::string>{"fifo", "socket", "folder", "plain", "chain", "loop-b"}));
}

// What may stand in a settings file's place but is no file: a device node (its own, in the
// scratch folder, so that a fault could never reach a real one), a FIFO and a socket. The same
// rule holds for each; a device node can be made only where mknod is allowed (as root, say),
// and where it is not the rule is still proved on the other two.
namespace {
struct SpecialNode {
  const char* kind;
  // Makes one at the path; false when this machine does not let us.
  bool (*make)(const std::string& path);
  bool (*is)(const std::filesystem::path& path);
};

bool MakeDevice(const std::string& path) {
  if (::mknod(path.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0) return true;
  EXPECT_TRUE(errno == EPERM || errno == EACCES) << path << ": " << std::strerror(errno);
  return false;
}
bool MakeFifo(const std::string& path) {
  EXPECT_EQ(::mkfifo(path.c_str(), 0644), 0) << path << ": " << std::strerror(errno);
  return true;
}
bool MakeSocketNode(const std::string& path) {
  MakeSocket(path);
  return true;
}

constexpr SpecialNode kSpecialNodes[] = {
    {"device", MakeDevice,
     [](const std::filesystem::path& p) { return std::filesystem::is_character_file(p); }},
    {"fifo", MakeFifo, [](const std::filesystem::path& p) { return std::filesystem::is_fifo(p); }},
    {"socket", MakeSocketNode,
     [](const std::filesystem::path& p) { return std::filesystem::is_socket(p); }},
};
}  // namespace

TEST(ReplaceTextFile, ASpecialFileIsNeverReplacedNorALinkToOneFollowed) {
  int proved = 0;
  for (const SpecialNode& node : kSpecialNodes) {
    SCOPED_TRACE(node.kind);
    TempFolder dir;
    const std::string own = dir / "own.ini", target = dir / "node", link = dir / "link.ini",
                      late = dir / "late.ini";
    if (!node.make(target)) {
      std::cout << "The rule for a " << node.kind << " is not proved here: mknod is not allowed\n";
      continue;
    }
    ASSERT_TRUE(node.make(own));
    ++proved;

    try {
      FolderItem(own).ReplaceTextFile();
      ADD_FAILURE() << "began replacing the " << node.kind << " in the file's place";
    } catch (const platform::IOException& e) {
      EXPECT_EQ(e.Path(), own);
      EXPECT_EQ(e.SystemError(), "not a regular file");
    }

    std::filesystem::create_symlink("node", link);
    Replace(link, "new");
    EXPECT_TRUE(IsRegularFile(link));
    EXPECT_EQ(ReadBytes(link), "new\n");

    // One that takes the file's place while the new content is being written.
    auto out = FolderItem(late).ReplaceTextFile();
    out->WriteLine("new");
    ASSERT_TRUE(node.make(late));
    EXPECT_THROW(out->Commit(), platform::IOException);

    for (const std::string& path : {own, target, late}) EXPECT_TRUE(node.is(path)) << path;
    EXPECT_EQ(Names(dir.Path()),
              (std::set<std::string>{"own.ini", "node", "link.ini", "late.ini"}));
  }
  EXPECT_GE(proved, 2) << "a FIFO and a socket can be made anywhere";
}

// Each save locks its temporary while it runs: a temporary that nobody holds is what a killed
// save left behind, and the next save removes it.
TEST(ReplaceTextFile, RemovesTemporariesOfKilledSavesButNeverThoseOfRunningOnes) {
  for (const bool named : {true, false}) {
    SCOPED_TRACE(named ? "named temporaries" : "unnamed temporaries where possible");
    testsupport::ForcedNamedTemporaries forced(named);
    TempFolder dir;
    WriteBytes(dir / "f.ini", "old\n");
    WriteBytes(dir / ".f.ini.new-Ab12Cd", "half a save");   // killed while writing
    WriteBytes(dir / ".f.ini.new-4242-0", "a whole save");  // killed just before its rename
    ASSERT_EQ(::mkfifo((dir / ".f.ini.new-fifo").c_str(), 0644), 0);
    WriteBytes(dir / ".other.ini.new-Ab12Cd", "another file's");
    const std::set<std::string> others{"f.ini", ".f.ini.new-fifo", ".other.ini.new-Ab12Cd"};

    auto running = FolderItem(dir / "f.ini").ReplaceTextFile();
    running->WriteLine("running");
    const auto whileRunning = Names(dir.Path());
    EXPECT_EQ(whileRunning.size(), others.size() + (named ? 1 : 0));
    Replace(dir / "f.ini", "next");
    EXPECT_EQ(Names(dir.Path()), whileRunning);
    EXPECT_EQ(ReadBytes(dir / "f.ini"), "next\n");

    running->Commit();
    EXPECT_EQ(ReadBytes(dir / "f.ini"), "running\n");
    EXPECT_EQ(Names(dir.Path()), others);
  }
}
