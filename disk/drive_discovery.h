// Finding the volumes the tool can scan, once at start-up.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ntfs/byte_source.h"

namespace verandol {

struct DiscoveredDrive {
    std::string name;  // what the drive list shows: "/dev/sdb1", an image's file name, "disk.img #2 (NTFS, 8.4 MB)"
    std::string source_name;  // the disk or image it lies on, as listed: "/dev/sdb", "disk.img"
    std::string path;  // the volume address that is opened
    std::int64_t size = 0;  // bytes the volume's source holds
    std::string label;
    std::string serial;
    std::string warning;  // set when the partition runs past its disk's end
    // A device this user may not read: listed from what the system knows of
    // it (its size, and NTFS found by the device manager), to be read on the
    // user's behalf once picked. Label and serial are then unknown.
    bool unreadable = false;
};

struct DiscoveryResult {
    std::vector<DiscoveredDrive> drives;  // the NTFS ones, in candidate order
    // Every candidate that opened but is no NTFS volume itself, named with
    // what it holds instead ("disk.img (no file system, 1.0 GB)"): what a
    // search for lost volumes or a deep scan is offered for.
    std::vector<DiscoveredDrive> others;
    // The label texts of the last candidate that could be opened, NTFS or
    // not ("Drive Name: ..." and "Drive Serial: ..."); empty when none opened.
    std::optional<std::string> drive_name_text;
    std::optional<std::string> drive_serial_text;
};

struct DiscoveryPlaces {
    std::string sys_class_block = "/sys/class/block";
    std::string dev = "/dev";
    std::string working_directory = ".";
    std::string udev_data = "/run/udev/data";  // what the device manager found on each device
};

struct DiscoveryCandidate {
    std::string name;  // "/dev/sdb", or an image's file name
    std::string path;
    // A whole disk whose partitions the system does not list (a disk image,
    // a loop device without partition scanning): its own table is looked into.
    bool may_hold_partitions = false;
    std::string sysfs;  // a block device's folder in sys_class_block; empty for an image
};

// The candidates, in the order they are listed: block devices on fixed disks
// (loop, dm, nvme and partitions included) in name order, then those on
// removable disks (USB sticks, SD cards) in name order, then the regular
// files of the working directory ending in .img, .raw, .dd, .E01, .vhd, .vhdx
// or .vmdk, in name
// order. Left out: ram, zram, optical drives (sr), and loop devices not
// backed by a file.
std::vector<DiscoveryCandidate> DiscoveryCandidates(const DiscoveryPlaces& places = {});

// The identifier of one opened candidate and, as a side effect on `result`,
// its label texts.
std::string ReadFileSystemName(ByteSource& volume, const std::string& label, DiscoveryResult& result);

}  // namespace verandol
