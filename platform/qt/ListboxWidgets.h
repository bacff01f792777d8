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

// Editors for editable cells, and the list's horizontal grid lines.
class ListDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;
  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  // Where a check cell's box is drawn, in viewport coordinates.
  QRect CheckIndicatorRect(const QStyleOptionViewItem& option, const QModelIndex& index) const;

  bool horizontalLines = false;
};

class ListTable : public QTableWidget {
 public:
  using QTableWidget::QTableWidget;
  QStyleOptionViewItem ViewItemOption(const QModelIndex& index) const;
};

// The table behind a list (for tests).
ListTable* TableWidget(const Listbox& list);

}  // namespace platform::qt
