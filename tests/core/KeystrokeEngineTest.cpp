#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/ButtonEventTable.h"
#include "core/Window1.h"
#include "platform/KeyPress.h"
#include "platform/Yield.h"
#include "platform/testing/ListboxDrivers.h"
#include "tests/core/CoreTestSupport.h"

namespace {

struct Modifiers {
  bool shift = false, command = false, control = false, option = false;
};

struct EngineCase {
  const char* what;
  int eventID;
  int row;  // whose cells the case sets
  std::string key;
  Modifiers mods;
  int selectedRow;                     // -1: the selection stays as it was
  std::optional<int> pressedCharCode;  // nullopt: nothing pressed
  std::uint64_t yields;
};

const EngineCase kEngineCases[] = {
    {"P with CMD", 1, 0, "P", {false, true, false, false}, 0, 'P', 0},
    {"last row", 14, 13, "H", {}, 13, 'H', 13},
    {"first character only", 1, 0, "abc", {}, 0, 'a', 0},
    {"lower case without SHIFT", 1, 0, "p", {}, 0, 'p', 0},
    {"upper case without SHIFT", 1, 0, "P", {}, 0, 'P', 0},
    {"modifiers from their own columns", 2, 1, "U", {true, false, true, true}, 1, 'U', 1},
    {"empty Key", 4, 3, "", {true, true, true, true}, 3, std::nullopt, 3},
    {"no row for 0", 0, 0, "P", {}, -1, std::nullopt, 14},
    {"no row for 15", 15, 0, "P", {}, -1, std::nullopt, 14},
    {"no row for -1", -1, 0, "P", {}, -1, std::nullopt, 14},
};

class KeystrokeEngine : public coretest::CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    window = Window1::Instance();
    list = window->Listbox1();
  }
  void TearDown() override {
    list.reset();
    window.reset();
    CoreTest::TearDown();
  }
  void SetRow(int row, const std::string& key, Modifiers m) {
    list->SetCell(row, core::kColumnKey, key);
    list->SetCellCheck(row, core::kColumnShift, m.shift);
    list->SetCellCheck(row, core::kColumnCommand, m.command);
    list->SetCellCheck(row, core::kColumnControl, m.control);
    list->SetCellCheck(row, core::kColumnOption, m.option);
  }
  std::shared_ptr<Window1> window;
  std::shared_ptr<platform::Listbox> list;
};

TEST_F(KeystrokeEngine, Cases) {
  constexpr int kEarlierSelection = 7;
  for (const auto& c : kEngineCases) {
    SCOPED_TRACE(c.what);
    SetRow(c.row, c.key, c.mods);
    list->SetListIndex(kEarlierSelection);
    fw->keys->Clear();
    const auto yieldsBefore = platform::YieldCount();

    window->buttonpressed(c.eventID);

    EXPECT_EQ(platform::YieldCount() - yieldsBefore, c.yields);
    EXPECT_EQ(list->ListIndex(), c.selectedRow == -1 ? kEarlierSelection : c.selectedRow);
    if (!c.pressedCharCode) {
      EXPECT_TRUE(fw->keys->Pressed().empty());
      continue;
    }
    ASSERT_EQ(fw->keys->Pressed().size(), 1u);
    const auto& press = fw->keys->Pressed()[0];
    EXPECT_EQ(press.charCode, *c.pressedCharCode);
    EXPECT_EQ(press.keyCode, fw->keys->KeyCodeFor(*c.pressedCharCode));
    EXPECT_EQ(press.shift, c.mods.shift);
    EXPECT_EQ(press.command, c.mods.command);
    EXPECT_EQ(press.control, c.mods.control);
    EXPECT_EQ(press.option, c.mods.option);
  }
}

TEST_F(KeystrokeEngine, OnlyTheUpperOfTwoRowsWithTheSameIDActs) {
  list->SetCell(5, core::kColumnID, "1");
  SetRow(0, "x", {});
  SetRow(5, "y", {});
  window->buttonpressed(1);
  EXPECT_EQ(list->ListIndex(), 0);
  ASSERT_EQ(fw->keys->Pressed().size(), 1u);
  EXPECT_EQ(fw->keys->Pressed()[0].charCode, 'x');
}

// A character that no key types must never come out as some other key.
TEST_F(KeystrokeEngine, KeyWithoutAKeyPressesNothing) {
  const std::pair<std::string, int> cases[] = {
      {"\xC3\xA9t\xC3\xA9", 0xE9}, {"\x01", 1}, {"\xE2\x82\xAC", 0x20AC}};
  for (const auto& [key, charCode] : cases) {
    SCOPED_TRACE(charCode);
    SetRow(0, key, {false, true, false, false});
    fw->keys->Clear();
    window->buttonpressed(1);
    EXPECT_EQ(list->ListIndex(), 0);
    EXPECT_TRUE(fw->keys->Pressed().empty());
    EXPECT_TRUE(fw->keys->Requests().empty()) << "a press without a key reached the backend";

    // Once a key types it, the same row presses that very character: the engine asked for the
    // right one, and nothing but the missing key held it back.
    fw->keys->Map(charCode, 2000);
    window->buttonpressed(1);
    ASSERT_EQ(fw->keys->Pressed().size(), 1u);
    EXPECT_EQ(fw->keys->Pressed()[0].charCode, charCode);
    EXPECT_EQ(fw->keys->Pressed()[0].keyCode, 2000);
    EXPECT_TRUE(fw->keys->Pressed()[0].command);
    fw->keys->Unmap(charCode);
  }
}

struct EditDuringWalk {
  const char* what;
  int eventID;
  int editAfterYield;  // the edit is made at this yield of the walk (1 = the first)
  int row;             // whose cells it changes
  std::string id, key;
  bool shift;
  int selectedRow;                     // -1: the selection stays as it was
  std::optional<int> pressedCharCode;  // nullopt: nothing pressed
};

// Edits made while the walk is inside a yield count at once: the rows not yet visited are read
// as they stand after the edit.
const EditDuringWalk kEditsDuringWalk[] = {
    {"a later row takes the ID", 5, 1, 2, "5", "Z", true, 2, 'Z'},
    {"the matching row changes its Key", 3, 1, 2, "3", "K", true, 2, 'K'},
    {"the matching row gives up its ID", 14, 5, 13, "99", "H", false, -1, std::nullopt},
};

TEST_F(KeystrokeEngine, EditsMadeInsideAYieldCountForTheRestOfTheWalk) {
  constexpr int kEarlierSelection = 7;
  for (const auto& c : kEditsDuringWalk) {
    SCOPED_TRACE(c.what);
    CloseMainWindow();
    window = Window1::Instance();
    list = window->Listbox1();
    list->SetListIndex(kEarlierSelection);
    fw->keys->Clear();
    int yields = 0;
    const auto previous = platform::SetYieldHook([&] {
      if (++yields != c.editAfterYield) return;
      list->SetCell(c.row, core::kColumnID, c.id);
      SetRow(c.row, c.key, {c.shift, false, false, false});
    });

    window->buttonpressed(c.eventID);
    platform::SetYieldHook(previous);

    EXPECT_EQ(list->ListIndex(), c.selectedRow == -1 ? kEarlierSelection : c.selectedRow);
    if (!c.pressedCharCode) {
      EXPECT_TRUE(fw->keys->Pressed().empty());
      EXPECT_EQ(yields, 14);
      continue;
    }
    EXPECT_EQ(yields, c.selectedRow);
    ASSERT_EQ(fw->keys->Pressed().size(), 1u);
    EXPECT_EQ(fw->keys->Pressed()[0].charCode, *c.pressedCharCode);
    EXPECT_EQ(fw->keys->Pressed()[0].shift, c.shift);
  }
}

// The engine reads the cells at every event, so an edit counts from the next one on.
TEST_F(KeystrokeEngine, UserEditTakesEffectAtTheNextEvent) {
  platform::testing::UserEditCell(*list, 0, core::kColumnKey, "Q");
  platform::testing::UserClickCheck(*list, 0, core::kColumnShift);
  window->buttonpressed(1);
  ASSERT_EQ(fw->keys->Pressed().size(), 1u);
  EXPECT_EQ(fw->keys->Pressed()[0].charCode, 'Q');
  EXPECT_TRUE(fw->keys->Pressed()[0].shift);
}

}  // namespace
