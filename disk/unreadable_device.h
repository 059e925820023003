// What can be known of a block device this user may not read, without
// reading it: its size from sysfs, and what the system's device manager
// (udev, which runs as root) found on it when the device appeared.
#pragma once

#include <cstdint>
#include <string>

#include "disk/content_type.h"

namespace verandol {

// True when `path` exists but this user may not open it for reading.
bool ReadPermissionDenied(const std::string& path);

// The device's size in bytes, from the 512-byte sector count in its sysfs
// folder; 0 when unknown.
std::int64_t SysfsSize(const std::string& sysfs_dir);

// Whether the device may hold a volume worth listing: NTFS by the device
// manager's record, or a partition table on a disk whose partitions the
// system does not list. A device the manager has no record of may hold
// anything and is listed; one whose record names another file system, or
// nothing at all, is not.
bool MayHoldNtfs(const std::string& sysfs_dir, bool may_hold_partitions, const std::string& udev_data);

// What the device manager's record says the device holds, in the probing
// library's names (the manager probes with it too); empty when it has no record.
ContentType RecordedContentType(const std::string& sysfs_dir, const std::string& udev_data);

}  // namespace verandol
