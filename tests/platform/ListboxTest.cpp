#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

#include "platform/Runtime.h"
#include "platform/Window.h"
#include "platform/qt/ListboxTable.h"
#include "platform/testing/ListboxDrivers.h"
#include "platform/testing/TestFramework.h"
#include "tests/platform/TestWindows.h"

namespace {

using platform::Listbox;

// The main window's table in an expanded window, with its column types set as when it opens.
class ListboxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window = std::make_shared<platformtest::ScriptedWindow>();
    window->onLayout = [](auto& w) { w.SetProperties(platformtest::MainWindowProperties()); };
    window->onCreateControls = [this](auto& w) {
      list = w.template NewControl<Listbox>();
      w.AddControl("List", list);
      list->SetProperties(platformtest::TableProperties());
    };
    window->Constructor();
    list->SetColumnType(2, Listbox::kTypeEditable);
    for (int column = 3; column <= 6; ++column) list->SetColumnType(column, Listbox::kTypeCheckBox);
    table = platform::qt::TableWidget(*list);
    ASSERT_NE(table, nullptr);
  }

  platform::testing::TestFramework framework;
  std::shared_ptr<platformtest::ScriptedWindow> window;
  std::shared_ptr<Listbox> list;
  platform::qt::ListTable* table = nullptr;
};

TEST_F(ListboxTest, HeadingIsNotARowAndColumnsAreAsLaidOut) {
  EXPECT_EQ(list->ListCount(), 14);
  EXPECT_EQ(list->ColumnCount(), 7);
  EXPECT_EQ(list->Cell(0, 0), "1");
  EXPECT_EQ(list->Cell(13, 0), "14");
  EXPECT_EQ(list->Cell(0, 2), "");
  EXPECT_EQ(list->Heading(3), "SHIFT");
  const int widths[] = {0, 150, 60, 50, 50, 50, 50};
  for (int column = 0; column < 7; ++column) {
    SCOPED_TRACE(column);
    EXPECT_EQ(list->ColumnWidth(column), widths[column]);
    EXPECT_EQ(table->isColumnHidden(column), column == 0);
    if (column > 0) {
      EXPECT_EQ(table->columnWidth(column), widths[column]);
    }
    EXPECT_EQ(table->horizontalHeader()->sectionResizeMode(column), QHeaderView::Fixed);
  }
  EXPECT_FALSE(table->horizontalHeader()->sectionsMovable());
  EXPECT_EQ(table->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_EQ(list->ListIndex(), -1);
  EXPECT_EQ(list->ColumnType(0), Listbox::kTypeDefault);
  EXPECT_EQ(list->ColumnType(2), Listbox::kTypeEditable);
  EXPECT_EQ(list->ColumnType(6), Listbox::kTypeCheckBox);
}

TEST_F(ListboxTest, HeadingAndAllRowsFitWithoutScrollBars) {
  window->Show();
  EXPECT_EQ(table->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(table->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(table->size(), QSize(433, 247));
  const int lastRowBottom = table->rowViewportPosition(13) + table->rowHeight(13);
  EXPECT_LE(lastRowBottom, table->viewport()->height());
  EXPECT_EQ(table->rowViewportPosition(0), 0);
  // The text must stay legible in its row.
  EXPECT_GE(table->rowHeight(0), QFontMetrics(table->font()).height());
}

TEST_F(ListboxTest, CellsAndChecksReadBackAndOutOfRangeRaises) {
  list->SetCell(3, 2, "abc");
  list->SetCellCheck(3, 4, true);
  EXPECT_EQ(list->Cell(3, 2), "abc");
  EXPECT_TRUE(list->CellCheck(3, 4));
  EXPECT_FALSE(list->CellCheck(3, 5));
  EXPECT_EQ(table->item(3, 4)->checkState(), Qt::Checked);
  list->SetCell(1, 2, std::string("\xff\xfe", 2));  // bytes kept as they are
  EXPECT_EQ(list->Cell(1, 2), std::string("\xff\xfe", 2));

  list->SetListIndex(5);
  EXPECT_EQ(list->ListIndex(), 5);
  list->SetCell(5, 2, "x");  // rewriting a cell keeps the selection
  EXPECT_EQ(list->ListIndex(), 5);
  list->SetListIndex(7);
  EXPECT_EQ(list->ListIndex(), 7);  // one row at a time
  list->SetListIndex(-1);
  EXPECT_EQ(list->ListIndex(), -1);

  const std::pair<int, int> outside[] = {{-1, 0}, {14, 0}, {0, -1}, {0, 7}, {100, 100}};
  for (const auto& [row, column] : outside) {
    SCOPED_TRACE(std::to_string(row) + "," + std::to_string(column));
    EXPECT_THROW(list->Cell(row, column), platform::OutOfBoundsException);
    EXPECT_THROW(list->SetCell(row, column, "x"), platform::OutOfBoundsException);
    EXPECT_THROW(list->CellCheck(row, column), platform::OutOfBoundsException);
    EXPECT_THROW(list->SetCellCheck(row, column, true), platform::OutOfBoundsException);
  }
  EXPECT_THROW(list->SetListIndex(14), platform::OutOfBoundsException);
  EXPECT_THROW(list->SetListIndex(-2), platform::OutOfBoundsException);
  EXPECT_THROW(list->SetColumnType(7, 2), platform::OutOfBoundsException);
  EXPECT_THROW(list->Heading(-1), platform::OutOfBoundsException);
}

TEST_F(ListboxTest, UserEditsReachTheCellWithoutLineBreaks) {
  window->Show();
  const std::pair<const char*, const char*> typed[] = {
      {"q", "q"}, {"a\nb", "ab"}, {"x\r\ny\rz\n", "xyz"}, {"", ""}, {"long text", "long text"}};
  for (const auto& [text, stored] : typed) {
    SCOPED_TRACE(text);
    platform::testing::UserEditCell(*list, 4, 2, text);
    EXPECT_EQ(list->Cell(4, 2), stored);
  }
  platform::testing::UserEditCell(*list, 4, 1, "not editable");
  EXPECT_EQ(list->Cell(4, 1), "Button 5");
}

TEST_F(ListboxTest, PastingSeveralLinesIntoTheEditorGivesOneLine) {
  window->Show();
  QApplication::clipboard()->setText("first\nsecond\r\nthird");
  table->setCurrentCell(2, 2);
  table->editItem(table->item(2, 2));
  auto* editor = qobject_cast<QLineEdit*>(table->indexWidget(table->model()->index(2, 2)));
  ASSERT_NE(editor, nullptr);
  editor->selectAll();
  editor->paste();
  EXPECT_EQ(editor->text(), QString("firstsecondthird"));
  QTest::keyClick(editor, Qt::Key_Return);
  platform::Runtime::ProcessPendingEvents();
  EXPECT_EQ(list->Cell(2, 2), "firstsecondthird");
}

TEST_F(ListboxTest, AnEditStillOpenWhenTheWindowClosesIsKept) {
  window->Show();
  std::string seenAtClose;
  window->onClose = [this, &seenAtClose](auto&) { seenAtClose = list->Cell(0, 2); };
  table->setCurrentCell(0, 2);
  table->editItem(table->item(0, 2));
  auto* editor = qobject_cast<QLineEdit*>(table->indexWidget(table->model()->index(0, 2)));
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, "typed");  // no Return: the editor is still open
  window->Close();
  EXPECT_EQ(seenAtClose, "typed");
}

TEST_F(ListboxTest, ClickingACheckCellTogglesItAndOtherCellsStayUnchecked) {
  window->Show();
  platform::testing::UserClickCheck(*list, 6, 3);
  EXPECT_TRUE(list->CellCheck(6, 3));
  platform::testing::UserClickCheck(*list, 6, 3);
  EXPECT_FALSE(list->CellCheck(6, 3));
  platform::testing::UserClickCheck(*list, 6, 2);  // not a check column
  EXPECT_FALSE(list->CellCheck(6, 2));
  platform::testing::UserClickCheck(*list, 0, 6);
  EXPECT_TRUE(list->CellCheck(0, 6));
  EXPECT_EQ(list->Cell(0, 6), "");
}

TEST_F(ListboxTest, ChangingAColumnTypeKeepsItsValues) {
  list->SetCellCheck(2, 4, true);
  list->SetColumnType(4, Listbox::kTypeDefault);
  EXPECT_FALSE(table->item(2, 4)->flags().testFlag(Qt::ItemIsUserCheckable));
  EXPECT_TRUE(list->CellCheck(2, 4));
  list->SetColumnType(4, Listbox::kTypeCheckBox);
  EXPECT_EQ(table->item(2, 4)->checkState(), Qt::Checked);
}

}  // namespace
