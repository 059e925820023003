// Finding the volumes the tool can scan, once at start-up.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace verandol {

struct DiscoveredDrive {
    std::string name;  // what the drive list shows: "/dev/sdb1", or an image's file name
    std::string path;  // what is opened
};

struct DiscoveryResult {
    std::vector<DiscoveredDrive> drives;  // the NTFS ones, in candidate order
    // The label texts of the last candidate that could be opened, NTFS or
    // not ("Drive Name: ..." and "Drive Serial: ..."); empty when none opened.
    std::optional<std::string> drive_name_text;
    std::optional<std::string> drive_serial_text;
};

struct DiscoveryPlaces {
    std::string sys_class_block = "/sys/class/block";
    std::string dev = "/dev";
    std::string working_directory = ".";
};

// The candidates: block devices whose disk is not removable (loop, dm, nvme
// and partitions included; ram and zram left out) in name order, then the
// regular files of the working directory ending in .img, .raw or .dd, in name
// order. Each is opened read-only and kept when its boot sector says NTFS.
DiscoveryResult DiscoverDrives(const DiscoveryPlaces& places = {});

// The identifier of one candidate and, as a side effect on `result`, its label
// texts; the empty text when it cannot be opened.
std::string ReadFileSystemName(const std::string& path, DiscoveryResult& result);

}  // namespace verandol
