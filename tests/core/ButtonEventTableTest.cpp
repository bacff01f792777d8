#include <gtest/gtest.h>

#include "core/ButtonEventTable.h"
#include "core/Window1.h"
#include "platform/Controls.h"
#include "tests/core/CoreTestSupport.h"
#include "tests/core/UnopenedWindow1.h"

namespace {

const char* const kButtons[] = {
    "Play Down",       "Play Sleep Down",   "Right Down",   "Right Hold Down", "Right Hold Up",
    "Left Down",       "Left Hold Down",    "Left Hold Up", "Volume Plus Up",  "Volume Plus Down",
    "Volume Minus Up", "Volume Minus Down", "Menu Down",    "Menu Hold Down"};

class ButtonEventTable : public coretest::CoreTest {};

TEST_F(ButtonEventTable, AsCreatedOnlyIDAndButtonCellsHoldText) {
  auto window = std::make_shared<coretest::UnopenedWindow1>();
  window->Constructor();
  auto list = window->Listbox1();
  ASSERT_EQ(list->ListCount(), 14);
  ASSERT_EQ(list->ColumnCount(), 7);
  const char* headings[] = {"ID", "Button", "Key", "SHIFT", "CMD", "CNTRL", "OPT"};
  const int widths[] = {0, 150, 60, 50, 50, 50, 50};
  for (int column = 0; column < 7; ++column) {
    EXPECT_EQ(list->Heading(column), headings[column]);
    EXPECT_EQ(list->ColumnWidth(column), widths[column]);
  }
  for (int row = 0; row < 14; ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(list->Cell(row, core::kColumnID), std::to_string(row + 1));
    EXPECT_EQ(list->Cell(row, core::kColumnButton), kButtons[row]);
    EXPECT_EQ(list->Cell(row, core::kColumnKey), "");
    for (int column = core::kColumnShift; column <= core::kColumnOption; ++column) {
      EXPECT_FALSE(list->CellCheck(row, column));
    }
  }
  EXPECT_EQ(list->ListIndex(), -1);
  window->Close();
}

TEST_F(ButtonEventTable, OpeningTheListSetsTheColumnTypes) {
  auto list = Window1::Instance()->Listbox1();
  const int types[] = {platform::Listbox::kTypeDefault,  platform::Listbox::kTypeDefault,
                       platform::Listbox::kTypeEditable, platform::Listbox::kTypeCheckBox,
                       platform::Listbox::kTypeCheckBox, platform::Listbox::kTypeCheckBox,
                       platform::Listbox::kTypeCheckBox};
  for (int column = 0; column < 7; ++column) EXPECT_EQ(list->ColumnType(column), types[column]);
}

TEST_F(ButtonEventTable, AfterOpeningWithoutSettingsEveryRowHasItsDefault) {
  auto window = Window1::Instance();
  auto list = window->Listbox1();
  const char* keys[] = {"P", "U", "F", "", "", "R", "", "", "", "", "", "", "", "H"};
  for (int row = 0; row < 14; ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(list->Cell(row, core::kColumnID), std::to_string(row + 1));
    EXPECT_EQ(list->Cell(row, core::kColumnButton), kButtons[row]);
    EXPECT_EQ(list->Cell(row, core::kColumnKey), keys[row]);
    for (int column = core::kColumnShift; column <= core::kColumnOption; ++column) {
      EXPECT_FALSE(list->CellCheck(row, column));
    }
  }
  EXPECT_EQ(list->ListIndex(), -1);
}

TEST_F(ButtonEventTable, GetDefaultKeyKnowsFiveIDs) {
  auto window = std::make_shared<coretest::UnopenedWindow1>();  // needs no built window
  const std::pair<const char*, const char*> cases[] = {
      {"1", "P"}, {"2", "U"}, {"3", "F"}, {"6", "R"}, {"14", "H"}, {"4", ""}, {"5", ""}, {"13", ""},
      {"01", ""}, {"", ""},   {" 1", ""}, {"1 ", ""}, {"15", ""},  {"0", ""}, {"P", ""}, {"41", ""},
  };
  for (const auto& [id, key] : cases) EXPECT_EQ(window->getdefaultkey(id), key) << '"' << id << '"';
}

}  // namespace
