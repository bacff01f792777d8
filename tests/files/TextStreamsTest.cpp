#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Exceptions.h"
#include "platform/Files.h"
#include "tests/support/TempFolder.h"

using testsupport::TempFolder;

namespace {
std::vector<std::string> ReadAllLines(const std::string& path) {
  auto in = platform::FolderItem(path).OpenAsTextFile();
  std::vector<std::string> lines;
  while (!in->AtEOF()) lines.push_back(in->ReadLine());
  EXPECT_EQ(in->ReadLine(), "");  // past the end: empty, no failure
  EXPECT_TRUE(in->AtEOF());
  return lines;
}
}  // namespace

TEST(TextInputStream, LinesEndAtLfCrLfOrALoneCrAndKeepTheirBytes) {
  const std::string big(70000, 'x');  // longer than one read buffer
  const std::string bom = "\xEF\xBB\xBF";
  const std::string fill(65535, 'y');  // with one more byte, fills the first read buffer
  struct Case {
    std::string content;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},  // a last line without terminator is a line
      {"a\n", {"a"}},
      {"a\nb\n", {"a", "b"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\r\nb", {"a", "b"}},
      {"\n\n", {"", ""}},
      {"a\rb\rc", {"a", "b", "c"}},  // lone CRs, as older Mac programs wrote
      {"tail\r", {"tail"}},
      {"a\r\rb\r", {"a", "", "b"}},
      {"a\n\rb", {"a", "", "b"}},  // LF then CR: two terminators
      {"\r\n\r", {"", ""}},
      {bom + "Key1\nF1\n", {"Key1", "F1"}},  // a byte order mark at the start is skipped
      {bom, {}},
      {bom + "\n", {""}},
      {bom + bom + "a", {bom + "a"}},         // only the first one
      {"a\n" + bom + "b", {"a", bom + "b"}},  // anywhere else it is text
      {"\xEF\xBB", {"\xEF\xBB"}},             // part of a mark is text
      {"\xEF\xBB\xBE\n", {"\xEF\xBB\xBE"}},
      {std::string("caf\xC3\xA9\n\xFF\xFE\x00z\n", 11),
       {"caf\xC3\xA9", std::string("\xFF\xFE\x00z", 4)}},
      {big + "\nnext\n", {big, "next"}},
      {fill + "\r\nafter\n", {fill, "after"}},    // CR | LF across two reads
      {fill + "\rafter", {fill, "after"}},        // CR | text
      {fill + "\r\rafter", {fill, "", "after"}},  // CR | CR
      {fill + "\r", {fill}},                      // CR | end
      {bom + fill.substr(3) + "\r\nafter", {fill.substr(3), "after"}},
  };
  for (const auto& c : cases) {
    TempFolder dir;
    testsupport::WriteBytes(dir / "f", c.content);
    EXPECT_EQ(ReadAllLines(dir / "f"), c.lines)
        << ::testing::PrintToString(c.content.substr(0, 20));
  }
}

TEST(TextInputStream, ReadLineProbeFailsTheChosenRead) {
  TempFolder dir;
  testsupport::WriteBytes(dir / "f", "1\n2\n3\n");
  auto in = platform::FolderItem(dir / "f").OpenAsTextFile();
  auto previous = platform::SetReadLineProbe([](const std::string& path, std::uint64_t line) {
    if (line == 2) throw platform::IOException(path, "Input/output error");
  });
  EXPECT_EQ(in->ReadLine(), "1");
  EXPECT_THROW(in->ReadLine(), platform::IOException);
  platform::SetReadLineProbe(previous);
}
