#include "recover/output_device_check.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include "disk/volume_address.h"
#include "disk/volume_file.h"
#include "recover/block_devices.h"
#include "recover/mount_info.h"

namespace verandol {

namespace {

namespace fs = std::filesystem;

// A file by what it is, not by the path that names it.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// A block device the folder's files may be written to, or the image file a
// FUSE driver writes them into (ntfs-3g mounts an image file directly).
struct Target {
    std::uint64_t device = 0;  // unset for an image file
    std::string name;          // how the refusal names it
    std::string fs_type;       // set when the device or image was found as a mount's source
    std::optional<FileIdentity> image;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Canonical(const std::string& path) {
    std::error_code error;
    const fs::path canonical = fs::canonical(path, error);
    return error ? path : canonical.string();
}

// The folder's own device, and the block device its mount reads, if any.
std::vector<Target> TargetsOf(const std::string& folder, const SystemTables& tables) {
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0) return {};
    std::vector<Target> targets{{info.st_dev, {}, {}, {}}};
    const auto mount = MountHolding(ParseMountInfo(ReadAll(tables.mountinfo)), info.st_dev, Canonical(folder));
    struct stat source {};
    if (!mount || stat(mount->source.c_str(), &source) != 0) return targets;
    if (S_ISBLK(source.st_mode) && source.st_rdev != info.st_dev)
        targets.push_back({source.st_rdev, mount->source, mount->fs_type, {}});
    if (S_ISREG(source.st_mode))
        targets.push_back({0, mount->source, mount->fs_type, FileIdentity{source.st_dev, source.st_ino}});
    return targets;
}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0) return std::nullopt;
    return FileIdentity{info.st_dev, info.st_ino};
}

std::string RefusalText(const std::string& folder, const Target& target, const std::string& device_name,
                        const std::string& volume_path, bool same) {
    std::string text = "the output folder " + folder + " is on " + device_name;
    if (!target.fs_type.empty()) text += " (mounted as " + target.fs_type + ")";
    if (!same) text += ", which shares its blocks with " + volume_path;
    return text + ", the volume being read";
}

}  // namespace

std::string OutputDeviceRefusal(const std::string& volume_address, const std::string& folder,
                                const SystemTables& tables) {
    // A partition inside a disk ("/dev/sdb@2", "disk.img@2") is judged by its disk.
    const std::string volume_path = ParseVolumeAddress(volume_address).path;
    struct stat volume_info {};
    if (stat(volume_path.c_str(), &volume_info) != 0) return {};
    const std::vector<Target> targets = TargetsOf(folder, tables);

    if (S_ISBLK(volume_info.st_mode)) {
        // The device as the read will see it; a node this process may not
        // open is judged by its number all the same.
        const auto volume = VolumeFile::Open(volume_path);
        const std::uint64_t device = volume ? volume->DeviceId() : volume_info.st_rdev;
        const std::vector<BlockDevice> family = OverlappingBlockDevices(device, tables.sysfs);
        for (const Target& target : targets) {
            if (target.image) {
                // An image mounted by a FUSE driver that a loop device of
                // the volume's family reads too.
                for (const BlockDevice& member : family)
                    if (IdentityOf(LoopBackingFile(member.device, tables.sysfs)) == target.image)
                        return RefusalText(folder, target, target.name + ", the image /dev/" + member.name + " reads",
                                           volume_path, member.device == device);
                continue;
            }
            auto member = std::find_if(family.begin(), family.end(),
                                       [&](const BlockDevice& m) { return m.device == target.device; });
            if (member == family.end()) continue;
            const bool same = target.device == device;
            const std::string name =
                !target.name.empty() ? target.name : same ? volume_path : "/dev/" + member->name;
            return RefusalText(folder, target, name, volume_path, same);
        }
        return {};
    }
    // An image file: only a FUSE mount of that file, or a loop device
    // reading it (or a partition of one), can write into it.
    const FileIdentity volume_file{volume_info.st_dev, volume_info.st_ino};
    for (const Target& target : targets) {
        if (target.image) {
            if (*target.image == volume_file) return RefusalText(folder, target, target.name, volume_path, true);
            continue;
        }
        for (const BlockDevice& member : OverlappingBlockDevices(target.device, tables.sysfs)) {
            if (IdentityOf(LoopBackingFile(member.device, tables.sysfs)) != volume_file) continue;
            const std::string name = !target.name.empty() ? target.name : "/dev/" + member.name;
            return RefusalText(folder, target, name + ", a loop device reading " + volume_path, volume_path, true);
        }
    }
    return {};
}

}  // namespace verandol
