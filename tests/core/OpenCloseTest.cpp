#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "core/ButtonEventTable.h"
#include "core/Window1.h"
#include "platform/Keyboard.h"
#include "platform/MsgBox.h"
#include "platform/Strings.h"
#include "platform/Window.h"
#include "platform/Yield.h"
#include "platform/testing/ListboxDrivers.h"
#include "settings/BrioEasyPrefs.h"
#include "shell/App.h"
#include "tests/core/CoreTestSupport.h"

namespace {

using Lines = std::vector<std::string>;

class OpenClose : public coretest::CoreTest {
 protected:
  // Replaces the value line of `name` in `lines`.
  static void SetValue(Lines& lines, const std::string& name, const std::string& value) {
    for (std::size_t i = 0; i + 1 < lines.size(); i += 2) {
      if (lines[i] == name) {
        lines[i + 1] = value;
        return;
      }
    }
    ADD_FAILURE() << "no entry " << name;
  }
  // What a save leaves: each table entry takes the place of the first stored entry of its
  // name, or is appended; every other stored entry stays as it is.
  static Lines MergeIntoStored(Lines stored, const Lines& table) {
    for (std::size_t t = 0; t + 1 < table.size(); t += 2) {
      bool found = false;
      for (std::size_t i = 0; i + 1 < stored.size() && !found; i += 2) {
        if (stored[i] == table[t]) {
          stored[i + 1] = table[t + 1];
          found = true;
        }
      }
      if (!found) stored.insert(stored.end(), {table[t], table[t + 1]});
    }
    return stored;
  }
};

TEST_F(OpenClose, NoFileGivesDefaultsAndTheFirstSaveWritesAllSeventy) {
  auto window = Window1::Instance();
  EXPECT_EQ(BrioEasyPrefs::PrefNames().size(), 1u);  // loading adds nothing
  EXPECT_TRUE(std::filesystem::exists(SettingsFile()));
  EXPECT_TRUE(ReadSettingsFile().empty());
  EXPECT_TRUE(fw->messages.empty());

  window->Listbox1()->SetCellCheck(1, core::kColumnCommand, true);
  window->Listbox1()->SetCell(3, core::kColumnKey, "long text");
  CloseMainWindow();

  Lines expected = coretest::DefaultSettingsLines();
  SetValue(expected, "Command2", "true");
  SetValue(expected, "Key4", "long text");
  EXPECT_EQ(ReadSettingsFile(), expected);
  EXPECT_EQ(expected.size(), 140u);
}

TEST_F(OpenClose, TitleCarriesTheVersionNumbers) {
  auto window = Window1::Instance();
  auto app = App::Instance();
  ASSERT_NE(app, nullptr);
  EXPECT_EQ(window->Title(), "ZibTVRemote v." + platform::Str(app->MajorVersion()) + "." +
                                 platform::Str(app->MinorVersion()) + "." +
                                 platform::Str(app->BugVersion()));
}

TEST_F(OpenClose, EmptyStoredKeyStaysEmpty) {
  CopyFixture("empty-key.ini");
  auto window = Window1::Instance();
  EXPECT_EQ(window->Listbox1()->Cell(0, core::kColumnKey), "");
  EXPECT_EQ(window->Listbox1()->Cell(1, core::kColumnKey), "U");
  CloseMainWindow();
  Lines expected = coretest::DefaultSettingsLines();
  SetValue(expected, "Key1", "");
  EXPECT_EQ(ReadSettingsFile(), expected);
}

// Only "true" ticks a box, in the program's one equality; the save writes plain "true"/"false".
TEST_F(OpenClose, ModifierValuesOtherThanTrueClearTheBox) {
  CopyFixture("modifiers.ini");
  auto list = Window1::Instance()->Listbox1();
  EXPECT_FALSE(list->CellCheck(0, core::kColumnShift));    // "false"
  EXPECT_FALSE(list->CellCheck(0, core::kColumnCommand));  // ""
  EXPECT_FALSE(list->CellCheck(0, core::kColumnControl));  // "yes"
  EXPECT_TRUE(list->CellCheck(0, core::kColumnOption));    // "TRUE"
  EXPECT_TRUE(list->CellCheck(1, core::kColumnShift));     // "true"
  CloseMainWindow();

  Lines table = coretest::DefaultSettingsLines();
  SetValue(table, "Option1", "true");
  SetValue(table, "Shift2", "true");
  const Lines stored = {"Shift1", "false",   "Command1", "false",  "Control1",
                        "false",  "Option1", "true",     "Shift2", "true"};
  EXPECT_EQ(ReadSettingsFile(), MergeIntoStored(stored, table));
}

TEST_F(OpenClose, StoredOrderIsKeptAndStoredValuesAreLoaded) {
  CopyFixture("all-70-reversed.ini");
  const Lines before = ReadSettingsFile();
  auto list = Window1::Instance()->Listbox1();
  EXPECT_EQ(list->Cell(13, core::kColumnKey), "Q");
  EXPECT_TRUE(list->CellCheck(13, core::kColumnCommand));
  EXPECT_EQ(list->Cell(0, core::kColumnKey), "Z");
  EXPECT_EQ(list->Cell(5, core::kColumnKey), "");
  CloseMainWindow();
  EXPECT_EQ(ReadSettingsFile(), before);
}

TEST_F(OpenClose, OtherNamesKeepTheirPlacesAndValues) {
  CopyFixture("extra-names.ini");
  const Lines before = ReadSettingsFile();
  auto list = Window1::Instance()->Listbox1();
  EXPECT_EQ(list->Cell(2, core::kColumnKey), "G");
  CloseMainWindow();

  Lines table = coretest::DefaultSettingsLines();
  SetValue(table, "Key3", "G");
  const Lines saved = ReadSettingsFile();
  EXPECT_EQ(saved, MergeIntoStored(before, table));
  EXPECT_EQ(saved.size(), before.size() + 140 - 2);
}

// Loading and saving yield once at the end of every row, fourteen times per call, on top of
// what the settings store yields in its own scans and file write.
TEST_F(OpenClose, LoadAndSaveYieldOncePerRow) {
  auto window = Window1::Instance();
  // No settings file: the store holds no entry, so every lookup misses without a pass.
  ASSERT_EQ(BrioEasyPrefs::PrefNames().size(), 1u);
  auto before = platform::YieldCount();
  window->loadprefs();
  EXPECT_EQ(platform::YieldCount() - before, 14u);

  before = platform::YieldCount();
  window->Saveprefs();
  const auto saveYields = platform::YieldCount() - before;
  const Lines saved = ReadSettingsFile();
  ASSERT_EQ(saved, coretest::DefaultSettingsLines());

  // The store's share: the same entries set in the same order on an empty store, then written.
  BrioEasyPrefs::ReleaseModuleState();
  BrioEasyPrefs::InitModuleState();
  std::filesystem::remove(SettingsFile());
  BrioEasyPrefs::InitPrefFile("ZibRemote.ini", false);
  before = platform::YieldCount();
  for (std::size_t i = 0; i + 1 < saved.size(); i += 2)
    BrioEasyPrefs::SetPrefString(saved[i], saved[i + 1]);
  BrioEasyPrefs::WritePrefsFile();
  const auto storeYields = platform::YieldCount() - before;
  EXPECT_EQ(ReadSettingsFile(), saved);
  EXPECT_EQ(saveYields - storeYields, 14u);
}

TEST_F(OpenClose, OptionKeyResetsAStoredTable) {
  CopyFixture("extra-names.ini");
  platform::Keyboard::SetOptionKeyOverride(true);
  auto list = Window1::Instance()->Listbox1();
  EXPECT_TRUE(std::filesystem::exists(SettingsFile()));
  EXPECT_TRUE(ReadSettingsFile().empty());
  EXPECT_EQ(list->Cell(2, core::kColumnKey), "F");
  CloseMainWindow();
  EXPECT_EQ(ReadSettingsFile(), coretest::DefaultSettingsLines());
}

TEST_F(OpenClose, OptionKeyWithoutAFileDeletesNothing) {
  const auto other = SettingsFile().parent_path() / "other.ini";
  std::ofstream(other) << "x\n";
  platform::Keyboard::SetOptionKeyOverride(true);
  auto list = Window1::Instance()->Listbox1();
  EXPECT_TRUE(std::filesystem::exists(other));
  EXPECT_TRUE(fw->unhandled.empty());
  EXPECT_EQ(list->Cell(0, core::kColumnKey), "P");
}

TEST_F(OpenClose, WithoutTheOptionKeyTheFileIsKept) {
  CopyFixture("extra-names.ini");
  const Lines before = ReadSettingsFile();
  Window1::Instance();
  EXPECT_EQ(ReadSettingsFile(), before);
}

// Nothing but the close saves: a file changed after the close must stay as it is.
TEST_F(OpenClose, ExactlyOneSavePerClose) {
  auto window = Window1::Instance();
  window->PushButton1()->Push();
  window->DisclosureTriangle1()->Click();
  window->CheckBox1()->Click();
  platform::testing::UserEditCell(*window->Listbox1(), 0, core::kColumnKey, "X");
  EXPECT_TRUE(ReadSettingsFile().empty());  // edits live only in the table

  window->Close();
  Lines expected = coretest::DefaultSettingsLines();
  SetValue(expected, "Key1", "X");
  EXPECT_EQ(ReadSettingsFile(), expected);

  WriteSettingsFile({"marker", "kept"});
  window->Close();
  window.reset();
  CloseMainWindow();
  EXPECT_EQ(ReadSettingsFile(), (Lines{"marker", "kept"}));
}

TEST_F(OpenClose, NoReceiverMessageOncePerWindowBeforeTheTableLoads) {
  fw->remote->SetAvailable(false);
  std::vector<std::string> keyAtMessage;
  platform::SetMsgBoxPresenter([&](const std::string& text) {
    fw->messages.push_back(text);
    auto opening = platform::CheckCast<Window1>(platform::GetImplicitWindow("Window1.Window1"));
    keyAtMessage.push_back(opening ? opening->Listbox1()->Cell(0, core::kColumnKey) : "?");
  });
  auto first = Window1::Instance();
  EXPECT_EQ(first->Listbox1()->Cell(0, core::kColumnKey), "P");
  EXPECT_NE(first->Title(), "Zibble TV Remote");
  first->Close();
  Window1::Instance();
  EXPECT_EQ(fw->messages,
            (Lines{"No Apple Remote driver found.", "No Apple Remote driver found."}));
  EXPECT_EQ(keyAtMessage, (Lines{"", ""}));
}

// A save that cannot be written is reported, leaves the old file whole, and the window still
// closes.
TEST_F(OpenClose, FailedSaveIsReportedAndKeepsTheOldFile) {
  CopyFixture("empty-key.ini");
  const Lines before = ReadSettingsFile();
  auto window = Window1::Instance();

  {
    testsupport::ScopedFileSizeLimit limit(64);  // far less than the 140 lines need
    window->Close();
  }

  ASSERT_EQ(fw->unhandled.size(), 1u);
  EXPECT_EQ(fw->unhandled[0].first, "IOException") << fw->unhandled[0].second;
  EXPECT_TRUE(window->IsClosed());
  EXPECT_EQ(platform::GetImplicitWindow("Window1.Window1"), nullptr);
  EXPECT_EQ(ReadSettingsFile(), before);
}

}  // namespace
