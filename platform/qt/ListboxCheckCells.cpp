// Check cells: a cell that holds nothing but a check box shows it centred, and a click on the
// box (or Space) toggles it. The row lines are drawn here too, under every cell.
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "platform/qt/ListboxDelegate.h"

namespace platform::qt {

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
QRect ListDelegate::CheckIndicatorRect(const QStyleOptionViewItem& option,
                                       const QModelIndex& index) const {
  QStyleOptionViewItem viewOption(option);
  initStyleOption(&viewOption, index);
  if (IsBareCheck(viewOption)) return CenteredCheckRect(viewOption);
  return StyleFor(viewOption)
      ->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &viewOption, viewOption.widget);
}

}  // namespace platform::qt
