// Draws the list's grid lines: QTreeView has none of its own.
#pragma once

#include <QStyledItemDelegate>

namespace verandol {

class GridLineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace verandol
