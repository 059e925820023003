#include "disk/drive_discovery.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "ntfs/boot_sector.h"
#include "reading/image_maps.h"

namespace verandol {

namespace fs = std::filesystem;

namespace {

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

bool IsPartition(const fs::path& device) { return fs::exists(device / "partition"); }

// A partition's removable flag lives on its disk, the parent directory.
bool IsRemovable(const fs::path& device) {
    fs::path disk = IsPartition(device) ? device.parent_path() : device;
    std::ifstream flag(disk / "removable");
    int removable = 0;
    return (flag >> removable) && removable != 0;
}

// The system lists a disk's partitions as folders inside the disk's own.
bool HasListedPartitions(const fs::path& device) {
    std::error_code ec;
    for (const auto& child : fs::directory_iterator(device, ec))
        if (child.is_directory(ec) && IsPartition(child.path())) return true;
    return false;
}

bool LeftOut(const std::string& name, const fs::path& device) {
    if (StartsWith(name, "ram") || StartsWith(name, "zram") || StartsWith(name, "sr")) return true;
    // A loop device without a file behind it has nothing to read.
    return StartsWith(name, "loop") && !fs::exists(device / "loop" / "backing_file");
}

bool IsImageName(const fs::path& file) {
    const std::string ext = file.extension().string();
    return ext == ".img" || ext == ".raw" || ext == ".dd" || ext == ".E01" || ext == ".e01" || ext == ".vhd" ||
           ext == ".vhdx" || ext == ".vmdk";
}

void AddBlockCandidates(const DiscoveryPlaces& places, std::vector<DiscoveryCandidate>& out) {
    struct Block {
        std::string name;
        bool removable;
        bool whole_disk;
    };
    std::vector<Block> blocks;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(places.sys_class_block, ec)) {
        const std::string name = entry.path().filename().string();
        std::error_code canonical_ec;
        const fs::path device = fs::canonical(entry.path(), canonical_ec);
        if (canonical_ec || LeftOut(name, device)) continue;
        blocks.push_back({name, IsRemovable(device), !IsPartition(device) && !HasListedPartitions(device)});
    }
    // Fixed disks first, then removable ones, each in name order.
    std::sort(blocks.begin(), blocks.end(), [](const Block& a, const Block& b) {
        return std::tie(a.removable, a.name) < std::tie(b.removable, b.name);
    });
    for (const Block& b : blocks) {
        const std::string path = (fs::path(places.dev) / b.name).string();
        out.push_back({path, path, b.whole_disk, (fs::path(places.sys_class_block) / b.name).string()});
    }
}

void AddImageCandidates(const DiscoveryPlaces& places, std::vector<DiscoveryCandidate>& out) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(places.working_directory, ec)) {
        if (entry.is_regular_file(ec) && IsImageName(entry.path())) names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    const fs::path dir = fs::absolute(places.working_directory, ec);
    for (const std::string& name : names) {
        const std::string path = (dir / name).lexically_normal().string();
        // A device copy with its copier's map beside it ("disk.img.map", as
        // GNU ddrescue and verandol-cli image name it) is read with the map.
        if (fs::is_regular_file(path + ".map", ec)) ReadImageWithMap(path, path + ".map");
        out.push_back({name, path, true, {}});
    }
}

}  // namespace

std::vector<DiscoveryCandidate> DiscoveryCandidates(const DiscoveryPlaces& places) {
    std::vector<DiscoveryCandidate> candidates;
    AddBlockCandidates(places, candidates);
    AddImageCandidates(places, candidates);
    return candidates;
}

std::string ReadFileSystemName(ByteSource& volume, const std::string& label, DiscoveryResult& result) {
    BootSectorBytes boot = ReadBootSector(volume);
    result.drive_name_text = "Drive Name: " + label;
    result.drive_serial_text = "Drive Serial: " + SerialText(boot);
    return FileSystemIdentifier(boot);
}

}  // namespace verandol
