#include "ui/drive_entries.h"

#include "disk/volume_discovery.h"

namespace verandol {

QListWidgetItem* AddDriveEntry(QListWidget* list, const DiscoveredDrive& drive, bool other, int row) {
    auto* item = new QListWidgetItem(QString::fromStdString(drive.name));
    item->setData(kPathRole, QString::fromStdString(drive.path));
    // The designed list is 121 pixels wide; a partition's name with its
    // label and size is often longer.
    item->setToolTip(other ? item->text() + QStringLiteral("\nScan Now offers a search for lost volumes or a deep scan")
                           : item->text());
    item->setData(kUnreadRole, drive.unreadable);
    item->setData(kOtherRole, other);
    item->setData(kSizeRole, static_cast<qlonglong>(drive.size));
    item->setData(kSourceNameRole, QString::fromStdString(drive.source_name.empty() ? drive.name : drive.source_name));
    list->insertItem(row < 0 ? list->count() : row, item);
    return item;
}

QListWidgetItem* FindDriveEntry(const QListWidget* list, const QString& path) {
    for (int row = 0; row < list->count(); ++row)
        if (list->item(row)->data(kPathRole).toString() == path) return list->item(row);
    return nullptr;
}

QListWidgetItem* AddFoundEntries(QListWidget* list, QListWidgetItem* searched, const std::vector<FoundVolume>& found) {
    const std::string disk_path = searched->data(kPathRole).toString().toStdString();
    const std::string disk_name = searched->data(kSourceNameRole).toString().toStdString();
    QListWidgetItem* first = nullptr;
    int row = list->row(searched);
    for (const FoundVolume& volume : found) {
        DiscoveredDrive drive;
        drive.path = FoundVolumeAddress(disk_path, volume.offset);
        ++row;
        if (QListWidgetItem* listed = FindDriveEntry(list, QString::fromStdString(drive.path))) {
            row = list->row(listed);
            continue;
        }
        drive.name = FoundDriveName(disk_name, volume.offset, volume.size);
        drive.source_name = disk_name;
        drive.size = volume.size;
        drive.label = volume.label;
        QListWidgetItem* item = AddDriveEntry(list, drive, false, row);
        if (!volume.label.empty()) item->setToolTip(item->text() + QStringLiteral("\nLabel: ") + QString::fromStdString(volume.label));
        if (!first) first = item;
    }
    return first;
}

}  // namespace verandol
