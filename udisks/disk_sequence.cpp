#include "udisks/disk_sequence.h"

#include <sys/sysmacros.h>

#include <filesystem>

#include "disk/sysfs_number.h"

namespace verandol {

std::optional<std::uint64_t> DiskSequence(std::uint64_t device, const std::string& sysfs_root) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path folder = fs::canonical(fs::path(sysfs_root) / "dev" / "block" /
                                        (std::to_string(major(device)) + ":" + std::to_string(minor(device))),
                                    error);
    if (error) return std::nullopt;
    // A partition's folder lies inside its disk's, which holds the number.
    if (fs::exists(folder / "partition", error)) folder = folder.parent_path();
    return SysfsNumber((folder / "diskseq").string());
}

}  // namespace verandol
