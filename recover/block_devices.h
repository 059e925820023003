// Which block devices share blocks with a given one, as sysfs tells.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace verandol {

struct BlockDevice {
    std::uint64_t device = 0;
    std::string name;  // the kernel's name, "sdb1", "loop0p1", "dm-0"
};

// The device itself, the whole disk it is a partition of, the partitions it
// holds, and the devices built on any of these (device-mapper, RAID), looked up
// under `sysfs_root` ("/sys"). Writing to any of them can overwrite the
// device's blocks. Only the device itself when sysfs knows nothing of it.
std::vector<BlockDevice> OverlappingBlockDevices(std::uint64_t device, const std::string& sysfs_root);

// The file a loop device reads, from sysfs; empty for any other device.
std::string LoopBackingFile(std::uint64_t device, const std::string& sysfs_root);

}  // namespace verandol
