#include "ui/filter_bar.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace verandol {

FilterBar::FilterBar(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(new QLabel(QStringLiteral("Find:"), this));
    Text = new QLineEdit(this);
    Text->setPlaceholderText(QStringLiteral("part of a name or folder"));
    Text->setClearButtonEnabled(true);
    layout->addWidget(Text, 1);
    layout->addWidget(new QLabel(QStringLiteral("Minimum size (bytes):"), this));
    MinimumSize = new QLineEdit(this);
    // Digits only, and few enough that the number fits 64 bits.
    MinimumSize->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,18}")), this));
    MinimumSize->setFixedWidth(110);
    layout->addWidget(MinimumSize);
    RecoverableOnly = new QCheckBox(QStringLiteral("Recoverable only"), this);
    layout->addWidget(RecoverableOnly);

    const auto announce = [this] { emit FilterChanged(Current()); };
    connect(Text, &QLineEdit::textChanged, this, announce);
    connect(MinimumSize, &QLineEdit::textChanged, this, announce);
    connect(RecoverableOnly, &QCheckBox::toggled, this, announce);
}

RowFilter FilterBar::Current() const {
    RowFilter filter;
    filter.text = Text->text().toStdString();
    filter.min_size = MinimumSize->text().toLongLong();
    filter.recoverable_only = RecoverableOnly->isChecked();
    return filter;
}

void FilterBar::Reset() {
    const QSignalBlocker text(Text), size(MinimumSize), recoverable(RecoverableOnly);
    Text->clear();
    MinimumSize->clear();
    RecoverableOnly->setChecked(false);
}

}  // namespace verandol
