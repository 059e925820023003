#include "ui/grid_line_delegate.h"

#include <algorithm>

#include <QPainter>

namespace verandol {

void GridLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    QStyleOptionViewItem inside = option;
    inside.rect.adjust(0, 0, -1, -1);
    QStyledItemDelegate::paint(painter, inside, index);
    painter->save();
    painter->setPen(QColor(160, 160, 160));
    const QRect& cell = option.rect;
    painter->drawLine(cell.topRight(), cell.bottomRight());
    painter->drawLine(cell.bottomLeft(), cell.bottomRight());
    painter->restore();
}

QSize GridLineDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QSize content = QStyledItemDelegate::sizeHint(option, index);
    // The font's whole height, descent included, and the line under it.
    return {content.width() + 1, std::max(content.height(), option.fontMetrics.height() + 2) + 1};
}

}  // namespace verandol
