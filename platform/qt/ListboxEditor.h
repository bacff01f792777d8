#pragma once

// The editor of an editable cell. Framework-internal.

#include <QLineEdit>
#include <QValidator>

namespace platform::qt {

// Keeps line breaks out of a single-line cell: typed, pasted or dropped text loses every CR and
// LF before the editor takes it.
class LineBreakStripper : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& pos) const override;
  static QString Strip(QString text);
};

// The menu bar borrows the focus while its menus are worked from the keyboard (Alt, Alt+E) and
// gives it back when they close; like a popup menu, that keeps the selection that the Edit items
// act on.
class CellEditor : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;

 protected:
  void focusOutEvent(QFocusEvent* event) override;
};

}  // namespace platform::qt
