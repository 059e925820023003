// The drive list's entries and what each carries besides its text.
#pragma once

#include <string>
#include <vector>

#include <QListWidget>
#include <QString>

#include "disk/drive_discovery.h"
#include "rescue/volume_search.h"

namespace verandol {

enum DriveEntryRole {
    kPathRole = Qt::UserRole,  // the volume address a scan opens
    kUnreadRole,               // start-up could not read it; read through UDisks2 when picked
    kOtherRole,                // no NTFS volume itself: Scan Now makes the offer instead
    kSizeRole,                 // bytes, for the offer's times
    kSourceNameRole,           // the disk or image it lies on, as listed, to name the volumes found on it
};

// A new entry at `row` (-1: at the end). `other` marks a disk or image that
// holds no NTFS volume itself.
QListWidgetItem* AddDriveEntry(QListWidget* list, const DiscoveredDrive& drive, bool other, int row = -1);

// Lists the volumes of the image file at `path` (its NTFS volumes, else the
// image itself for a search or a deep scan), after the present entries;
// those already listed are left as they are. The first of its entries, an
// NTFS one when it holds any; null when it could not be opened.
QListWidgetItem* AddImageEntries(QListWidget* list, const std::string& path);

// The entry whose address is `path`, or null.
QListWidgetItem* FindDriveEntry(const QListWidget* list, const QString& path);

// Lists the volumes a search found on the disk of `searched`, right after
// its entry, in the order found; those already listed are left as they are.
// The first new entry, or null when all were listed before.
QListWidgetItem* AddFoundEntries(QListWidget* list, QListWidgetItem* searched, const std::vector<FoundVolume>& found);

}  // namespace verandol
