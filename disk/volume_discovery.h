// Drive discovery, down into partition tables and EWF images.
#pragma once

#include <string>
#include <vector>

#include "disk/drive_discovery.h"

namespace verandol {

// Every NTFS volume among the candidates of DiscoveryCandidates: a candidate
// that starts with an NTFS boot sector is listed by its own name; one that
// may hold partitions is looked into, and each NTFS partition is listed as
// "disk.img #2 (NTFS, 8.4 MB)" with the address "…/disk.img@2". A device
// this user may not read is not opened: it is listed as "/dev/sdb1 (no
// access)", marked unreadable, when it may hold NTFS, and among the others
// as "/dev/sdb1 (exFAT, 32 GB, no access)" when it holds something else.
DiscoveryResult DiscoverVolumes(const DiscoveryPlaces& places = {});

// The NTFS volumes of the given paths, each named and addressed from the
// path as given (for "verandol-cli volumes PATH..."). Each is opened,
// through the privileged opener where the user may not read it.
DiscoveryResult DiscoverVolumesIn(const std::vector<std::string>& paths);

// "8.4 MB", "120 GB": decimal units, as disks are sold.
std::string SizeText(std::int64_t bytes);

// A candidate holding no NTFS volume: "disk.img (no file system, 1.0 GB)",
// "/dev/sdb1 (exFAT, 32 GB)"; with a mark, "/dev/sdb1 (exFAT, 32 GB, no
// access)" for a device this user may not read.
std::string OtherDriveName(const std::string& name, const std::string& content, std::int64_t size,
                           const std::string& mark = {});

// A volume a search found at byte `offset` of the disk listed as `name`:
// "disk.img @+1048576 (NTFS, 8.4 MB, found)".
std::string FoundDriveName(const std::string& name, std::int64_t offset, std::int64_t size);

}  // namespace verandol
