#pragma once

// The table widget behind a list. Framework-internal; the testing backend uses it to act as the
// user does.

#include <QTableWidget>

namespace platform {
class Listbox;
}

namespace platform::qt {

class ListTable : public QTableWidget {
 public:
  using QTableWidget::QTableWidget;
  QStyleOptionViewItem ViewItemOption(const QModelIndex& index) const;
  bool IsEditing() const { return state() == EditingState; }
  // Moves the focus to the next (or previous) control of the window.
  void LeaveByTab(bool next) { QTableWidget::focusNextPrevChild(next); }
};

// The table behind a list, or null.
ListTable* TableWidget(const Listbox& list);
// The same, raising NilObjectException when the list has none.
ListTable* TableOf(const Listbox& list);

// Hands a cell edit still in progress to the list, as Return would, so that a window that
// closes meanwhile keeps what was typed.
void CommitOpenEditor(const Listbox& list);

}  // namespace platform::qt
