#include "ui/filter_bar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include "text/type_groups.h"

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
    layout->addWidget(new QLabel(QStringLiteral("Kind:"), this));
    Kind = new QComboBox(this);
    Kind->addItem(QStringLiteral("All kinds"));
    for (TypeGroup group : kTypeGroups)
        Kind->addItem(QString::fromLatin1(TypeGroupName(group)), static_cast<int>(group));
    Kind->setToolTip(QStringLiteral("Only the files of this kind, by the extension of their type"));
    layout->addWidget(Kind);

    const auto announce = [this] { emit FilterChanged(Current()); };
    connect(Text, &QLineEdit::textChanged, this, announce);
    connect(MinimumSize, &QLineEdit::textChanged, this, announce);
    connect(RecoverableOnly, &QCheckBox::toggled, this, announce);
    connect(Kind, &QComboBox::currentIndexChanged, this, announce);
}

RowFilter FilterBar::Current() const {
    RowFilter filter;
    filter.text = Text->text().toStdString();
    filter.min_size = MinimumSize->text().toLongLong();
    filter.recoverable_only = RecoverableOnly->isChecked();
    const QVariant group = Kind->currentData();
    if (group.isValid()) filter.group = static_cast<TypeGroup>(group.toInt());
    return filter;
}

void FilterBar::Reset() {
    const QSignalBlocker text(Text), size(MinimumSize), recoverable(RecoverableOnly), kind(Kind);
    Kind->setCurrentIndex(0);
    Text->clear();
    MinimumSize->clear();
    RecoverableOnly->setChecked(false);
}

}  // namespace verandol
