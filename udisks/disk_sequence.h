// Which medium a block device number stands for now. Device numbers are
// handed out again (a stick unplugged, another plugged in, gets the same
// 8:16), but the kernel numbers every disk it attaches, and every medium a
// loop device is given, in a sequence that does not repeat within a boot.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace verandol {

// The sequence number of the disk `device` is, or is a partition of, from
// the disk's "diskseq" under `sysfs_root` ("/sys"); nullopt where the kernel
// does not say (before Linux 5.15, or a device gone) or says no number.
std::optional<std::uint64_t> DiskSequence(std::uint64_t device, const std::string& sysfs_root = "/sys");

}  // namespace verandol
