// Lists over QTableWidget. The cells' content lives here, in the list, byte for byte as set;
// the table shows it and reports what the user changes.
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <charconv>
#include <memory>
#include <string>

#include "platform/Exceptions.h"
#include "platform/Strings.h"
#include "platform/Window.h"
#include "platform/qt/ControlImpl.h"
#include "platform/qt/ListboxWidgets.h"
#include "platform/qt/MainLoop.h"
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

struct Listbox::State {
  struct CellValue {
    std::string text;
    bool checked = false;
  };
  std::vector<std::vector<CellValue>> cells;
  std::vector<std::string> headings;
  std::vector<int> types;
  std::vector<int> widths;
  bool updating = false;  // the program is writing into the table
};

namespace qt {

QValidator::State LineBreakStripper::validate(QString& input, int& pos) const {
  int before = 0;
  for (int i = 0; i < pos && i < input.size(); ++i)
    if (input[i] == QLatin1Char('\r') || input[i] == QLatin1Char('\n')) ++before;
  input = Strip(input);
  pos -= before;
  return Acceptable;
}

QString LineBreakStripper::Strip(QString text) {
  text.remove(QLatin1Char('\r'));
  text.remove(QLatin1Char('\n'));
  return text;
}

void CellEditor::focusOutEvent(QFocusEvent* event) {
  if (event->reason() == Qt::MenuBarFocusReason) {
    QFocusEvent lent(QEvent::FocusOut, Qt::PopupFocusReason);
    QLineEdit::focusOutEvent(&lent);
    return;
  }
  QLineEdit::focusOutEvent(event);
}

QWidget* ListDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
  (void)option;
  (void)index;
  auto* editor = new CellEditor(parent);
  editor->setFrame(false);
  editor->setValidator(new LineBreakStripper(editor));
  return editor;
}

void ListDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                const QModelIndex& index) const {
  if (auto* line = qobject_cast<QLineEdit*>(editor)) {
    model->setData(index, LineBreakStripper::Strip(line->text()), Qt::EditRole);
    return;
  }
  QStyledItemDelegate::setModelData(editor, model, index);
}

namespace {

bool IsBareCheck(const QStyleOptionViewItem& option) {
  return option.features.testFlag(QStyleOptionViewItem::HasCheckIndicator) && option.text.isEmpty();
}

QStyle* StyleFor(const QStyleOptionViewItem& option) {
  return option.widget ? option.widget->style() : QApplication::style();
}

QRect CenteredCheckRect(const QStyleOptionViewItem& option) {
  const QSize size =
      StyleFor(option)
          ->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, option.widget)
          .size();
  QRect box(QPoint(0, 0), size);
  box.moveCenter(option.rect.center());
  return box;
}

}  // namespace

void ListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
  QStyleOptionViewItem viewOption(option);
  initStyleOption(&viewOption, index);
  if (IsBareCheck(viewOption)) {
    QStyle* style = StyleFor(viewOption);
    QStyleOptionViewItem background(viewOption);
    background.features &= ~QStyleOptionViewItem::HasCheckIndicator;
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, viewOption.widget);
    QStyleOptionViewItem box(viewOption);
    box.rect = CenteredCheckRect(viewOption);
    box.state &= ~QStyle::State_HasFocus;
    box.state |= viewOption.checkState == Qt::Checked ? QStyle::State_On : QStyle::State_Off;
    style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &box, painter, viewOption.widget);
  } else {
    QStyledItemDelegate::paint(painter, option, index);
  }
  if (!horizontalLines) return;
  painter->save();
  painter->setPen(option.palette.color(QPalette::Midlight));
  painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
  painter->restore();
}

bool ListDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                               const QStyleOptionViewItem& option, const QModelIndex& index) {
  QStyleOptionViewItem viewOption(option);
  initStyleOption(&viewOption, index);
  if (!IsBareCheck(viewOption))
    return QStyledItemDelegate::editorEvent(event, model, option, index);
  const Qt::ItemFlags flags = model->flags(index);
  if (!flags.testFlag(Qt::ItemIsUserCheckable) || !flags.testFlag(Qt::ItemIsEnabled) ||
      !option.state.testFlag(QStyle::State_Enabled))
    return false;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton ||
          !CenteredCheckRect(viewOption).contains(mouse->position().toPoint()))
        return false;
      if (event->type() != QEvent::MouseButtonRelease) return true;
      break;
    }
    case QEvent::KeyPress: {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key != Qt::Key_Space && key != Qt::Key_Select) return false;
      break;
    }
    default:
      return false;
  }
  const bool checked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
  return model->setData(index, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}

bool ListDelegate::eventFilter(QObject* object, QEvent* event) {
  auto* editor = qobject_cast<QWidget*>(object);
  if (!editor) return QStyledItemDelegate::eventFilter(object, event);
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
    if (tab && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
      const bool next = key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier);
      EndEdit(editor);
      if (auto* table = dynamic_cast<ListTable*>(parent())) table->LeaveByTab(next);
      return true;
    }
  }
  if (event->type() == QEvent::FocusOut &&
      static_cast<QFocusEvent*>(event)->reason() == Qt::MenuBarFocusReason) {
    KeepWhileMenuBarHasFocus(editor);
    return false;
  }
  return QStyledItemDelegate::eventFilter(object, event);
}

// What was typed counts, as with Return.
void ListDelegate::EndEdit(QWidget* editor) {
  emit commitData(editor);
  emit closeEditor(editor, QAbstractItemDelegate::NoHint);
}

// The menu bar takes the focus while its menus are worked from the keyboard (Alt, Alt+E) and gives
// it back to the editor when they close. Only a focus that moves on elsewhere ends the edit.
void ListDelegate::KeepWhileMenuBarHasFocus(QWidget* editor) {
  auto connection = std::make_shared<QMetaObject::Connection>();
  QPointer<QWidget> kept = editor;
  *connection = QObject::connect(qApp, &QApplication::focusChanged, editor,
                                 [this, kept, connection](QWidget*, QWidget* now) {
                                   if (qobject_cast<QMenuBar*>(now)) return;
                                   QObject::disconnect(*connection);
                                   if (kept && now != kept && !kept->isAncestorOf(now))
                                     EndEdit(kept);
                                 });
}

QRect ListDelegate::CheckIndicatorRect(const QStyleOptionViewItem& option,
                                       const QModelIndex& index) const {
  QStyleOptionViewItem viewOption(option);
  initStyleOption(&viewOption, index);
  if (IsBareCheck(viewOption)) return CenteredCheckRect(viewOption);
  return StyleFor(viewOption)
      ->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &viewOption, viewOption.widget);
}

QStyleOptionViewItem ListTable::ViewItemOption(const QModelIndex& index) const {
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.rect = visualRect(index);
  return option;
}

ListTable* TableWidget(const Listbox& list) {
  return dynamic_cast<ListTable*>(list.impl().widget.data());
}

}  // namespace qt

namespace {

qt::ListTable* TableOf(const Listbox& list) {
  auto* table = qt::TableWidget(list);
  if (!table) throw NilObjectException("the list has no table");
  return table;
}

Qt::ItemFlags FlagsFor(int type) {
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (type == Listbox::kTypeCheckBox) flags |= Qt::ItemIsUserCheckable;
  if (type == Listbox::kTypeEditable) flags |= Qt::ItemIsEditable;
  return flags;
}

}  // namespace

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

void Listbox::SetProperties(const Properties& props) {
  auto& state = *state_;
  auto* table = TableOf(*this);
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
  auto* table = TableOf(*this);
  if (row == -1) {
    table->clearSelection();
    return;
  }
  table->selectRow(row);
}

void qt::CommitOpenEditor(const Listbox& list) {
  auto* table = TableOf(list);
  if (!table->IsEditing()) return;
  auto* editor = table->indexWidget(table->currentIndex());
  if (!editor) return;
  auto* delegate = table->itemDelegate();
  emit delegate->commitData(editor);
  // Ending the editor would hand its widget back to the window system.
  if (!qt::DisplayLost())
    emit delegate->closeEditor(editor, QAbstractItemDelegate::SubmitModelCache);
}

void Listbox::UserEditCell(int row, int column, std::string_view text) {
  CheckCell(row, column);
  auto* table = TableOf(*this);
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

void Listbox::UserClickCheck(int row, int column) {
  CheckCell(row, column);
  auto* table = TableOf(*this);
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

}  // namespace platform
