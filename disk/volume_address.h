// A volume's address: the path of a device or image, and optionally which
// partition inside it ("disk.img@2", "/dev/sdb@1", "case.E01@1") or at which
// byte a volume no partition table names begins ("disk.img@+1048576").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace verandol {

struct VolumeAddress {
    std::string path;
    int partition = 0;  // 0: the whole of `path`, or the volume at `offset`
    std::int64_t offset = -1;  // -1: none given
};

// The last "@" followed only by digits ends the path and names the partition,
// so a path that itself contains "@" still works ("a@b.img@2" is partition 2
// of "a@b.img"; "a@b.img" is the whole file).
VolumeAddress ParseVolumeAddress(std::string_view address);

// The address of partition `partition` of `path`, or `path` itself for 0.
std::string FormatVolumeAddress(const std::string& path, int partition);

// The address of the volume that begins at byte `offset` of `path`.
std::string FormatOffsetAddress(const std::string& path, std::int64_t offset);

}  // namespace verandol
