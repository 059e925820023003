#include "tests/loop_volume.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

namespace verandol::testing {

namespace {

namespace fs = std::filesystem;

// The command's standard output, or nullopt when it fails.
std::optional<std::string> Output(const std::string& command) {
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string out;
    std::array<char, 256> buffer;
    while (std::fgets(buffer.data(), buffer.size(), pipe)) out += buffer.data();
    if (pclose(pipe) != 0) return std::nullopt;
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

bool Run(const std::string& command) { return Output(command).has_value(); }

bool KernelHasFileSystem(const std::string& name) {
    std::ifstream table("/proc/filesystems");
    std::string line;
    while (std::getline(table, line))
        if (line.ends_with("\t" + name)) return true;
    return false;
}

}  // namespace

std::unique_ptr<LoopVolume> LoopVolume::Attach(const std::string& fixture, std::string* skip) {
    if (geteuid() != 0) return *skip = "loop devices need root", nullptr;
    if (!fs::exists("/dev/loop-control")) return *skip = "this system has no loop devices", nullptr;
    std::unique_ptr<LoopVolume> volume(new LoopVolume);
    const std::string image = volume->folder_.path() + "/volume.img";
    fs::copy_file(FixtureImagePath(fixture), image);
    fs::create_directory(volume->mount_point());
    auto device = Output("losetup --find --show '" + image + "'");
    if (!device || device->empty()) return *skip = "losetup could not attach a loop device", nullptr;
    volume->device_ = *device;
    volume->attached_ = true;
    return volume;
}

std::unique_ptr<LoopVolume> LoopVolume::ImageOnly(const std::string& fixture, const std::string& image_name,
                                                  std::string* skip) {
    // Root mounts through FUSE without a group or an fstab line.
    if (geteuid() != 0) return *skip = "mounting an image through FUSE needs root here", nullptr;
    std::unique_ptr<LoopVolume> volume(new LoopVolume);
    volume->device_ = volume->folder_.path() + "/" + image_name;
    fs::copy_file(FixtureImagePath(fixture), volume->device_);
    fs::create_directory(volume->mount_point());
    return volume;
}

bool LoopVolume::Mount(MountDriver driver, std::string* skip) {
    const std::string at = "'" + device_ + "' '" + mount_point() + "'";
    if (driver == MountDriver::Kernel) {
        if (!attached_) return *skip = "the kernel mounts a loop device, not an image file", false;
        if (!KernelHasFileSystem("ntfs3")) return *skip = "the kernel has no ntfs3 driver", false;
        mounted_ = Run("mount -t ntfs3 " + at);
        if (!mounted_) *skip = "mount -t ntfs3 failed";
    } else {
        if (!fs::exists("/dev/fuse") || !Run("command -v ntfs-3g")) return *skip = "ntfs-3g or FUSE is missing", false;
        mounted_ = Run("ntfs-3g " + at);
        if (!mounted_) *skip = "ntfs-3g could not mount " + device_;
    }
    return mounted_;
}

LoopVolume::~LoopVolume() {
    if (mounted_) Run("umount '" + mount_point() + "'");
    if (attached_) Run("losetup -d '" + device_ + "'");
}

}  // namespace verandol::testing
