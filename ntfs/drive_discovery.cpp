#include "ntfs/drive_discovery.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "ntfs/boot_sector.h"
#include "ntfs/volume.h"
#include "ntfs/volume_label.h"

namespace verandol {

namespace fs = std::filesystem;

namespace {

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// A partition's removable flag lives on its disk, the parent directory.
bool IsRemovable(const fs::path& entry) {
    std::error_code ec;
    fs::path device = fs::canonical(entry, ec);
    if (ec) return false;
    fs::path disk = fs::exists(device / "partition") ? device.parent_path() : device;
    std::ifstream flag(disk / "removable");
    int removable = 0;
    return (flag >> removable) && removable != 0;
}

std::vector<std::string> BlockCandidates(const DiscoveryPlaces& places) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(places.sys_class_block, ec)) {
        std::string name = entry.path().filename().string();
        if (StartsWith(name, "ram") || StartsWith(name, "zram")) continue;
        if (IsRemovable(entry.path())) continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> ImageCandidates(const DiscoveryPlaces& places) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(places.working_directory, ec)) {
        if (!entry.is_regular_file(ec)) continue;
        std::string ext = entry.path().extension().string();
        if (ext == ".img" || ext == ".raw" || ext == ".dd") names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

std::string ReadFileSystemName(const std::string& path, DiscoveryResult& result) {
    auto volume = VolumeFile::Open(path);
    if (!volume) return {};
    BootSectorBytes boot = ReadBootSector(*volume);
    result.drive_name_text = "Drive Name: " + GetVolumeLabel(path);
    result.drive_serial_text = "Drive Serial: " + SerialText(boot);
    return FileSystemIdentifier(boot);
}

DiscoveryResult DiscoverDrives(const DiscoveryPlaces& places) {
    DiscoveryResult result;
    auto consider = [&](const std::string& name, const std::string& path) {
        if (ReadFileSystemName(path, result) == "NTFS") result.drives.push_back({name, path});
    };
    for (const auto& name : BlockCandidates(places)) consider((fs::path(places.dev) / name).string(),
                                                               (fs::path(places.dev) / name).string());
    std::error_code ec;
    fs::path dir = fs::absolute(places.working_directory, ec);
    for (const auto& name : ImageCandidates(places)) consider(name, (dir / name).lexically_normal().string());
    return result;
}

}  // namespace verandol
