// What a list holds and which row is selected: the cells, headings, column types and widths as
// the program set them, and what the user changes in the table taken back into them.
#include <string>
#include <utility>

#include "platform/Exceptions.h"
#include "platform/Strings.h"
#include "platform/qt/ListboxEditor.h"
#include "platform/qt/ListboxState.h"
#include "platform/qt/ListboxTable.h"

namespace platform {

namespace {

Qt::ItemFlags FlagsFor(int type) {
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (type == Listbox::kTypeCheckBox) flags |= Qt::ItemIsUserCheckable;
  if (type == Listbox::kTypeEditable) flags |= Qt::ItemIsEditable;
  return flags;
}

}  // namespace

void Listbox::TakeUserChange(int row, int column) {
  auto& state = *state_;
  if (state.updating) return;
  auto* table = qt::TableWidget(*this);
  if (!table || row < 0 || column < 0 || row >= ListCount() || column >= ColumnCount()) return;
  auto* item = table->item(row, column);
  if (!item) return;
  auto& cell = state.cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
  const int type = state.types[static_cast<std::size_t>(column)];
  if (type == kTypeCheckBox) cell.checked = item->checkState() == Qt::Checked;
  if (type == kTypeEditable) {
    const QString shown = item->text();
    const QString stripped = qt::LineBreakStripper::Strip(shown);
    cell.text = stripped.toStdString();
    if (stripped != shown) ShowCell(row, column);
  }
}

void Listbox::ShowCell(int row, int column) {
  auto& state = *state_;
  auto* table = qt::TableWidget(*this);
  if (!table) return;
  const auto& cell = state.cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
  const int type = state.types[static_cast<std::size_t>(column)];
  // A fresh item each time: a check box must disappear when the column stops being one.
  auto* item = new QTableWidgetItem(QString::fromStdString(cell.text));
  item->setFlags(FlagsFor(type));
  if (type == kTypeCheckBox) item->setCheckState(cell.checked ? Qt::Checked : Qt::Unchecked);
  const bool wasUpdating = std::exchange(state.updating, true);
  const bool selected = ListIndex() == row;
  table->setItem(row, column, item);
  if (selected) table->selectRow(row);
  state.updating = wasUpdating;
}

void Listbox::CheckCell(int row, int column) const {
  if (row < 0 || row >= ListCount())
    throw OutOfBoundsException("row " + Str(row) + " is outside the list of " + Str(ListCount()) +
                               " rows");
  CheckColumn(column);
}

void Listbox::CheckColumn(int column) const {
  if (column < 0 || column >= ColumnCount())
    throw OutOfBoundsException("column " + Str(column) + " is outside the list of " +
                               Str(ColumnCount()) + " columns");
}

int Listbox::ListCount() const { return static_cast<int>(state_->cells.size()); }
int Listbox::ColumnCount() const { return static_cast<int>(state_->types.size()); }

std::string Listbox::Heading(int column) const {
  CheckColumn(column);
  return state_->headings[static_cast<std::size_t>(column)];
}

int Listbox::ColumnWidth(int column) const {
  CheckColumn(column);
  return state_->widths[static_cast<std::size_t>(column)];
}

std::string Listbox::Cell(int row, int column) const {
  CheckCell(row, column);
  return state_->cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)].text;
}

void Listbox::SetCell(int row, int column, std::string text) {
  CheckCell(row, column);
  state_->cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)].text =
      std::move(text);
  ShowCell(row, column);
}

bool Listbox::CellCheck(int row, int column) const {
  CheckCell(row, column);
  return state_->cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)].checked;
}

void Listbox::SetCellCheck(int row, int column, bool checked) {
  CheckCell(row, column);
  state_->cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)].checked = checked;
  ShowCell(row, column);
}

int Listbox::ColumnType(int column) const {
  CheckColumn(column);
  return state_->types[static_cast<std::size_t>(column)];
}

void Listbox::SetColumnType(int column, int type) {
  CheckColumn(column);
  state_->types[static_cast<std::size_t>(column)] = type;
  for (int r = 0; r < ListCount(); ++r) ShowCell(r, column);
  // A column of check boxes shows them centred, so its heading is centred over them.
  if (auto* table = qt::TableWidget(*this))
    if (auto* heading = table->horizontalHeaderItem(column))
      heading->setTextAlignment(type == kTypeCheckBox ? Qt::AlignCenter
                                                      : Qt::AlignLeft | Qt::AlignVCenter);
}

int Listbox::ListIndex() const {
  auto* table = qt::TableWidget(*this);
  if (!table || !table->selectionModel()) return -1;
  const auto rows = table->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void Listbox::SetListIndex(int row) {
  if (row < -1 || row >= ListCount())
    throw OutOfBoundsException("row " + Str(row) + " is outside the list of " + Str(ListCount()) +
                               " rows");
  auto* table = qt::TableOf(*this);
  if (row == -1) {
    table->clearSelection();
    return;
  }
  table->selectRow(row);
}

}  // namespace platform
