#include "platform/testing/ListboxDrivers.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>

#include "platform/Controls.h"
#include "platform/qt/ListboxDelegate.h"
#include "platform/qt/ListboxTable.h"

namespace platform::testing {

namespace {

// Outside the list a driver raises what the list's own calls raise.
void CheckCell(const Listbox& list, int row, int column) { (void)list.Cell(row, column); }

void AddResizable(const QHeaderView& header, const char* section, std::vector<std::string>& out) {
  for (int i = 0; i < header.count(); ++i)
    if (header.sectionResizeMode(i) != QHeaderView::Fixed)
      out.push_back(std::string(section) + " " + std::to_string(i));
  if (header.stretchLastSection()) out.push_back(std::string("the last ") + section + " stretches");
}

}  // namespace

void UserEditCell(Listbox& list, int row, int column, std::string_view text) {
  CheckCell(list, row, column);
  auto* table = qt::TableOf(list);
  auto* item = table->item(row, column);
  if (!item || !item->flags().testFlag(Qt::ItemIsEditable) || !table->isEnabled()) return;
  table->setCurrentCell(row, column);
  table->editItem(item);
  auto* editor = qobject_cast<QLineEdit*>(table->indexWidget(table->model()->index(row, column)));
  if (!editor) return;
  editor->selectAll();
  editor->insert(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  // What Return does in the editor: hand the text to the list and close the editor.
  auto* delegate = table->itemDelegate();
  emit delegate->commitData(editor);
  emit delegate->closeEditor(editor, QAbstractItemDelegate::SubmitModelCache);
}

void UserClickCheck(Listbox& list, int row, int column) {
  CheckCell(list, row, column);
  auto* table = qt::TableOf(list);
  auto* delegate = dynamic_cast<qt::ListDelegate*>(table->itemDelegate());
  const QModelIndex index = table->model()->index(row, column);
  if (!delegate || !index.isValid()) return;
  const QPoint at = delegate->CheckIndicatorRect(table->ViewItemOption(index), index).center();
  const QPoint global = table->viewport()->mapToGlobal(at);
  QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(table->viewport(), &press);
  QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(table->viewport(), &release);
}

std::vector<std::string> ResizableSections(const Listbox& list) {
  const auto* table = qt::TableOf(list);
  std::vector<std::string> resizable;
  AddResizable(*table->horizontalHeader(), "column", resizable);
  AddResizable(*table->verticalHeader(), "row", resizable);
  return resizable;
}

}  // namespace platform::testing
