// Editing a cell: the single-line editor, what it hands to the list, and when an edit ends
// (Return, Tab, a focus that moves on; not the menu bar borrowing the focus).
#include <QApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPointer>
#include <memory>

#include "platform/Controls.h"
#include "platform/qt/ListboxDelegate.h"
#include "platform/qt/ListboxEditor.h"
#include "platform/qt/ListboxTable.h"
#include "platform/qt/MainLoop.h"

namespace platform::qt {

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

void CommitOpenEditor(const Listbox& list) {
  auto* table = TableOf(list);
  if (!table->IsEditing()) return;
  auto* editor = table->indexWidget(table->currentIndex());
  if (!editor) return;
  auto* delegate = table->itemDelegate();
  emit delegate->commitData(editor);
  // Ending the editor would hand its widget back to the window system.
  if (!DisplayLost()) emit delegate->closeEditor(editor, QAbstractItemDelegate::SubmitModelCache);
}

}  // namespace platform::qt
