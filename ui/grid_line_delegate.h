// Draws the list's grid lines: QTreeView has none of its own.
#pragma once

#include <QStyledItemDelegate>

namespace verandol {

// The lines take the last pixel row and column of each cell, so the cell is
// one pixel taller than the font needs and its content is drawn above the
// line: an underscore, drawn at the foot of the font's descent, would
// otherwise lie under the line.
class GridLineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace verandol
