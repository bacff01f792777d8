#pragma once

// How a list's cells are drawn and edited. Framework-internal.

#include <QStyledItemDelegate>

namespace platform::qt {

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

}  // namespace platform::qt
