#pragma once

// The Qt pieces behind Listbox. Framework-internal; the platform's own tests use them to act as
// the user does.

#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QValidator>

namespace platform {
class Listbox;
}

namespace platform::qt {

// Keeps line breaks out of a single-line cell: typed, pasted or dropped text loses every CR and
// LF before the editor takes it.
class LineBreakStripper : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& pos) const override;
  static QString Strip(QString text);
};

// The editor of an editable cell. The menu bar borrows the focus while its menus are worked from
// the keyboard (Alt, Alt+E) and gives it back when they close; like a popup menu, that keeps the
// selection that the Edit items act on.
class CellEditor : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;

 protected:
  void focusOutEvent(QFocusEvent* event) override;
};

// Editors for editable cells, check boxes centred in cells that hold nothing else, and the
// list's horizontal grid lines. Tab in an editor ends the edit and moves on to the next control,
// as it does from anywhere in the list; an editor stays open while the menu bar borrows the focus
// for its menus, so that the Edit menu acts on it.
class ListDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;
  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
  // Where a check cell's box is drawn, in viewport coordinates.
  QRect CheckIndicatorRect(const QStyleOptionViewItem& option, const QModelIndex& index) const;

  bool horizontalLines = false;

 protected:
  bool eventFilter(QObject* object, QEvent* event) override;

 private:
  void EndEdit(QWidget* editor);
  void KeepWhileMenuBarHasFocus(QWidget* editor);
};

class ListTable : public QTableWidget {
 public:
  using QTableWidget::QTableWidget;
  QStyleOptionViewItem ViewItemOption(const QModelIndex& index) const;
  bool IsEditing() const { return state() == EditingState; }
  // Moves the focus to the next (or previous) control of the window.
  void LeaveByTab(bool next) { QTableWidget::focusNextPrevChild(next); }
};

// The table behind a list (for tests).
ListTable* TableWidget(const Listbox& list);

// Hands a cell edit still in progress to the list, as Return would, so that a window that
// closes meanwhile keeps what was typed.
void CommitOpenEditor(const Listbox& list);

}  // namespace platform::qt
