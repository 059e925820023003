// Keeps recovered files off the device they are read from.
#pragma once

#include <string>

namespace verandol {

// Where the check looks; tests point these at trees of their own.
struct SystemTables {
    std::string mountinfo = "/proc/self/mountinfo";
    std::string sysfs = "/sys";
};

// Why writing into `folder` could overwrite the volume at `volume_path`, or
// empty when it cannot: each file written there may land on clusters still
// to be recovered. Refused are a folder on the volume's own block device, on
// a device that shares its blocks (the whole disk of a partition, a partition
// of a whole disk, a device-mapper device built on it), on a FUSE mount such
// as ntfs-3g's of any of these (its files carry an anonymous device number, so
// the mount's source tells), on a loop device that reads an image file being
// scanned, and on a FUSE mount of that image file itself or of the file a
// scanned loop device reads (the source is compared as a file, not as text).
// An image file is otherwise never refused: files written beside it leave its
// bytes alone.
std::string OutputDeviceRefusal(const std::string& volume_path, const std::string& folder,
                                const SystemTables& tables = {});

}  // namespace verandol
