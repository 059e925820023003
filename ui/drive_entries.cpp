#include "ui/drive_entries.h"

#include <QFile>
#include <QFileInfo>

#include "disk/volume_discovery.h"
#include "rescue/backup_boot_volumes.h"

namespace verandol {

namespace {

// The model the disk of a block device reports ("Samsung SSD 870"); empty
// for an image or when the system does not say.
QString DriveModel(const QString& path) {
    if (!path.startsWith(QStringLiteral("/dev/"))) return {};
    const QString block = QStringLiteral("/sys/class/block/") + QFileInfo(path).fileName();
    // A partition's folder lies inside its disk's.
    for (const QString& place : {block + QStringLiteral("/device/model"), block + QStringLiteral("/../device/model")}) {
        QFile file(place);
        if (file.open(QIODevice::ReadOnly)) return QString::fromUtf8(file.read(256)).trimmed();
    }
    return {};
}

}  // namespace

QListWidgetItem* AddDriveEntry(QListWidget* list, const DiscoveredDrive& drive, bool other, int row) {
    auto* item = new QListWidgetItem(QString::fromStdString(drive.name));
    item->setData(kPathRole, QString::fromStdString(drive.path));
    // The designed list is 121 pixels wide; a partition's name with its
    // label and size is often longer, and the tip says them all.
    QString tip = item->text();
    if (drive.size > 0) tip += QStringLiteral("\nSize: ") + QString::fromStdString(SizeText(drive.size));
    if (!drive.label.empty()) tip += QStringLiteral("\nLabel: ") + QString::fromStdString(drive.label);
    const QString model = DriveModel(QString::fromStdString(drive.path));
    if (!model.isEmpty()) tip += QStringLiteral("\nModel: ") + model;
    if (other) tip += QStringLiteral("\nScan Now offers a search for lost volumes or a deep scan");
    item->setToolTip(tip);
    item->setData(kUnreadRole, drive.unreadable);
    item->setData(kOtherRole, other);
    item->setData(kSizeRole, static_cast<qlonglong>(drive.size));
    item->setData(kSourceNameRole, QString::fromStdString(drive.source_name.empty() ? drive.name : drive.source_name));
    list->insertItem(row < 0 ? list->count() : row, item);
    return item;
}

QListWidgetItem* AddImageEntries(QListWidget* list, const std::string& path) {
    // A volume whose first sector is lost is listed from its backup boot sector.
    const DiscoveryResult found = WithBackupBootVolumes(DiscoverVolumesIn({path}));
    QListWidgetItem* first = nullptr;
    for (const bool other : {false, true}) {
        for (const DiscoveredDrive& drive : other ? found.others : found.drives) {
            QListWidgetItem* item = FindDriveEntry(list, QString::fromStdString(drive.path));
            if (!item) item = AddDriveEntry(list, drive, other);
            if (!first) first = item;
        }
    }
    return first;
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
