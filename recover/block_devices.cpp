#include "recover/block_devices.h"

#include <sys/sysmacros.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>

namespace verandol {

namespace {

namespace fs = std::filesystem;

// Holders of holders are followed this deep; sysfs has no cycles, but a
// tree handed in by a test or a broken kernel might.
constexpr int kMaxHolderDepth = 4;

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// A sysfs "dev" file: "MAJ:MIN".
std::optional<std::uint64_t> DeviceOf(const fs::path& directory) {
    const std::string text = FirstLine(directory / "dev");
    unsigned major_number = 0;
    unsigned minor_number = 0;
    char colon = 0;
    if (std::sscanf(text.c_str(), "%u%c%u", &major_number, &colon, &minor_number) != 3 || colon != ':')
        return std::nullopt;
    return makedev(major_number, minor_number);
}

fs::path DeviceDirectory(std::uint64_t device, const std::string& sysfs_root) {
    return fs::path(sysfs_root) / "dev" / "block" /
           (std::to_string(major(device)) + ":" + std::to_string(minor(device)));
}

class Family {
public:
    void Add(const fs::path& directory, int depth) {
        const auto device = DeviceOf(directory);
        if (!device) return;
        if (std::any_of(members_.begin(), members_.end(), [&](const BlockDevice& m) { return m.device == *device; }))
            return;
        members_.push_back({*device, directory.filename().string()});
        if (depth >= kMaxHolderDepth) return;
        std::error_code error;
        for (const auto& holder : fs::directory_iterator(directory / "holders", error)) Add(holder.path(), depth + 1);
    }
    std::vector<BlockDevice> Members() && { return std::move(members_); }

private:
    std::vector<BlockDevice> members_;
};

}  // namespace

std::vector<BlockDevice> OverlappingBlockDevices(std::uint64_t device, const std::string& sysfs_root) {
    std::error_code error;
    const fs::path directory = fs::canonical(DeviceDirectory(device, sysfs_root), error);
    if (error || !DeviceOf(directory)) return {{device, {}}};
    Family family;
    family.Add(directory, 0);
    // A partition's directory lies inside its disk's, beside a "partition" file.
    if (fs::exists(directory / "partition", error)) family.Add(directory.parent_path(), 0);
    for (const auto& entry : fs::directory_iterator(directory, error))
        if (fs::exists(entry.path() / "partition", error)) family.Add(entry.path(), 0);
    return std::move(family).Members();
}

std::string LoopBackingFile(std::uint64_t device, const std::string& sysfs_root) {
    return FirstLine(DeviceDirectory(device, sysfs_root) / "loop" / "backing_file");
}

}  // namespace verandol
