// The table that shows a list: how it is set up once, and what the layout's properties make of
// it. The content it shows lives in the list (ListboxCells.cpp).
#include <QHeaderView>
#include <algorithm>
#include <charconv>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/Window.h"
#include "platform/qt/ControlImpl.h"
#include "platform/qt/ListboxDelegate.h"
#include "platform/qt/ListboxState.h"
#include "platform/qt/ListboxTable.h"
#include "platform/qt/WindowImpl.h"

namespace platform {

namespace {

// The heading and fourteen rows of a 247-pixel list fit without scrolling at these sizes, and a
// 12-pixel font stays legible in them.
constexpr int kRowHeight = 16;
constexpr int kHeadingHeight = 18;
constexpr int kFontPixels = 12;
constexpr int kDefaultColumnWidth = 80;

std::vector<int> ParseWidths(const std::string& text) {
  std::vector<int> widths;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find(',', start), text.size());
    std::string part = text.substr(start, end - start);
    const auto first = part.find_first_not_of(' ');
    const auto last = part.find_last_not_of(' ');
    part = first == std::string::npos ? std::string() : part.substr(first, last - first + 1);
    int value = -1;
    if (!part.empty()) {
      auto [ptr, ec] = std::from_chars(part.data(), part.data() + part.size(), value);
      if (ec != std::errc() || ptr != part.data() + part.size() || value < 0) value = -1;
    }
    widths.push_back(value);
    if (end == text.size()) break;
    start = end + 1;
  }
  return widths;
}

}  // namespace

namespace qt {

QStyleOptionViewItem ListTable::ViewItemOption(const QModelIndex& index) const {
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.rect = visualRect(index);
  return option;
}

ListTable* TableWidget(const Listbox& list) {
  return dynamic_cast<ListTable*>(list.impl().widget.data());
}

ListTable* TableOf(const Listbox& list) {
  auto* table = TableWidget(list);
  if (!table) throw NilObjectException("the list has no table");
  return table;
}

}  // namespace qt

Listbox::Listbox(Window& window) : Control(window), state_(std::make_unique<State>()) {
  auto* table = new qt::ListTable(window.impl().content);
  auto* delegate = new qt::ListDelegate(table);
  table->setItemDelegate(delegate);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setSelectionMode(QAbstractItemView::SingleSelection);
  table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                         QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
  table->setDragEnabled(false);
  table->setSortingEnabled(false);
  table->setWordWrap(false);
  table->setCornerButtonEnabled(false);
  // Tab moves on to the next control; the arrow keys move between cells.
  table->setTabKeyNavigation(false);
  table->verticalHeader()->hide();
  table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table->verticalHeader()->setMinimumSectionSize(kRowHeight);
  table->verticalHeader()->setDefaultSectionSize(kRowHeight);
  auto* header = table->horizontalHeader();
  header->setSectionsMovable(false);
  header->setSectionsClickable(false);
  header->setHighlightSections(false);
  header->setStretchLastSection(false);
  header->setSectionResizeMode(QHeaderView::Fixed);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setFixedHeight(kHeadingHeight);
  QFont font = table->font();
  font.setPixelSize(kFontPixels);
  table->setFont(font);
  header->setFont(font);
  impl().Adopt(table);

  impl().connections.push_back(
      QObject::connect(table, &QTableWidget::itemChanged, [this](QTableWidgetItem* item) {
        if (item) TakeUserChange(item->row(), item->column());
      }));
}

Listbox::~Listbox() {
  // The table may still report an edit while it goes (an editor losing focus); the list's own
  // state is gone by then.
  for (const auto& connection : impl().connections) QObject::disconnect(connection);
  impl().connections.clear();
}

void Listbox::SetProperties(const Properties& props) {
  auto& state = *state_;
  auto* table = qt::TableOf(*this);
  const int columns = std::max(props.columnCount, 1);
  const auto count = static_cast<std::size_t>(columns);

  state.headings = props.headings;
  state.headings.resize(count);
  state.types.assign(count, kTypeDefault);
  state.widths = ParseWidths(props.columnWidths);
  state.widths.resize(count, -1);
  state.cells.clear();
  for (const auto& row : props.rows) {
    std::vector<State::CellValue> cells(count);
    for (std::size_t c = 0; c < count && c < row.size(); ++c) cells[c].text = row[c];
    state.cells.push_back(std::move(cells));
  }

  const bool wasUpdating = std::exchange(state.updating, true);
  table->clear();
  table->setColumnCount(columns);
  table->setRowCount(static_cast<int>(state.cells.size()));
  if (props.hasHeading) {
    QStringList labels;
    for (const auto& heading : state.headings) labels << QString::fromStdString(heading);
    table->setHorizontalHeaderLabels(labels);
    table->horizontalHeader()->show();
  } else {
    table->horizontalHeader()->hide();
  }
  auto* header = table->horizontalHeader();
  header->setSectionResizeMode(props.columnsResizable ? QHeaderView::Interactive
                                                      : QHeaderView::Fixed);
  for (int c = 0; c < columns; ++c) {
    int& width = state.widths[static_cast<std::size_t>(c)];
    if (width < 0) width = kDefaultColumnWidth;
    // A hidden column is out of the user's reach: it cannot be widened by dragging.
    table->setColumnHidden(c, width == 0);
    if (width > 0) table->setColumnWidth(c, width);
  }
  table->setVerticalScrollBarPolicy(props.scrollbarVertical ? Qt::ScrollBarAsNeeded
                                                            : Qt::ScrollBarAlwaysOff);
  table->setHorizontalScrollBarPolicy(props.scrollbarHorizontal ? Qt::ScrollBarAsNeeded
                                                                : Qt::ScrollBarAlwaysOff);
  table->setSelectionMode(props.selectionType == 0 ? QAbstractItemView::SingleSelection
                                                   : QAbstractItemView::ExtendedSelection);
  table->setDragEnabled(props.enableDrag);
  table->setShowGrid(false);
  if (auto* delegate = dynamic_cast<qt::ListDelegate*>(table->itemDelegate()))
    delegate->horizontalLines = props.gridLinesHorizontal > 0;
  table->setFrameShape(props.border ? QFrame::StyledPanel : QFrame::NoFrame);
  table->setAttribute(Qt::WA_MacShowFocusRect, props.useFocusRing);
  if (props.defaultRowHeight > 0) {
    table->verticalHeader()->setMinimumSectionSize(std::min(props.defaultRowHeight, kRowHeight));
    table->verticalHeader()->setDefaultSectionSize(props.defaultRowHeight);
  }
  state.updating = wasUpdating;

  for (int r = 0; r < ListCount(); ++r)
    for (int c = 0; c < columns; ++c) ShowCell(r, c);

  ApplyCommon(props);
  // The list's own font unless the layout asks for another size.
  if (props.textSize <= 0) {
    QFont font = table->font();
    font.setPixelSize(kFontPixels);
    table->setFont(font);
  }
}

}  // namespace platform
