// The bar above the list that narrows it to the rows a person is looking
// for: part of a name or folder, a minimum size, data still all there, a
// kind of file.
#pragma once

#include <QWidget>

#include "scan/row_filter.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace verandol {

class FilterBar : public QWidget {
    Q_OBJECT
public:
    explicit FilterBar(QWidget* parent = nullptr);

    QLineEdit* Text;
    QLineEdit* MinimumSize;
    QCheckBox* RecoverableOnly;
    // "All kinds", then one entry per type group ("Photos", ...).
    QComboBox* Kind;

    RowFilter Current() const;
    // Empties every field without announcing a change.
    void Reset();

signals:
    void FilterChanged(const verandol::RowFilter& filter);
};

}  // namespace verandol
