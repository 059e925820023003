// The image or device named on the window's command line: listed if
// discovery did not list it, selected, and scanned at once.
#include <filesystem>

#include <QListWidget>

#include "disk/volume_discovery.h"
#include "rescue/backup_boot_volumes.h"
#include "ui/drive_entries.h"
#include "ui/message_box.h"
#include "ui/uMain.h"

namespace {

// Discovery names images of the working directory by their absolute,
// normal path; a path given relative to it must meet the same entry.
QString ListedPath(const QString& path) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path.toStdString(), ec);
    return ec ? path : QString::fromStdString(absolute.lexically_normal().string());
}

}  // namespace

void TMainForm::ScanSourceArgument(const QString& path) {
    const QString source = ListedPath(path);
    const verandol::DiscoveryResult found =
        verandol::WithBackupBootVolumes(verandol::DiscoverVolumesIn({source.toStdString()}));
    QListWidgetItem* first = nullptr;
    for (const verandol::DiscoveredDrive& drive : found.drives) {
        QListWidgetItem* listed = verandol::FindDriveEntry(DriveList, QString::fromStdString(drive.path));
        if (!listed) listed = verandol::AddDriveEntry(DriveList, drive, false);
        if (!first) first = listed;
    }
    QListWidgetItem* other = nullptr;
    for (const verandol::DiscoveredDrive& drive : found.others) {
        QListWidgetItem* listed = verandol::FindDriveEntry(DriveList, QString::fromStdString(drive.path));
        if (!listed) listed = verandol::AddDriveEntry(DriveList, drive, true);
        if (!other) other = listed;
    }
    if (!first && !other) {
        verandol::ShowMessage(QStringLiteral("%1 could not be opened.").arg(path));
        return;
    }
    DriveList->clearSelection();
    DriveList->setCurrentItem(first ? first : other);
    // What holds no NTFS volume leads to the offer of a search or a deep scan.
    btnScanClick();
}
