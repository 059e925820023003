#include "ui/directory_list_box.h"

#include <QDir>
#include <QFileInfo>

namespace verandol {

TDirectoryListBox::TDirectoryListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemActivated, this, &TDirectoryListBox::Open);
}

void TDirectoryListBox::SetDirectory(const QString& path) {
    QDir dir(QFileInfo(path).absoluteFilePath());
    if (!dir.exists()) return;
    directory_ = QDir::cleanPath(dir.absolutePath());
    clear();
    if (!dir.isRoot()) addItem(UpEntry());
    addItems(dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase));
    emit DirectoryChanged(directory_);
}

void TDirectoryListBox::Open(QListWidgetItem* item) {
    if (!item) return;
    QDir dir(directory_);
    if (item->text() == UpEntry() ? dir.cdUp() : dir.cd(item->text())) SetDirectory(dir.absolutePath());
}

}  // namespace verandol
