// A copy of a fixture volume on a loop device, mounted as a person would
// mount it: for tests that need a real block device and a real mount of it.
// Or the copy alone, which ntfs-3g mounts as an image file, with no device.
#pragma once

#include <memory>
#include <string>

#include "tests/fixture_support.h"

namespace verandol::testing {

enum class MountDriver { Kernel, Fuse };  // the kernel's ntfs3, or ntfs-3g through FUSE

class LoopVolume {
public:
    // Null, with the reason in `skip`, where loop devices cannot be had here.
    static std::unique_ptr<LoopVolume> Attach(const std::string& fixture, std::string* skip);
    // The copy, named `image_name`, with no loop device: device() is the
    // image's path, and only MountDriver::Fuse mounts it. Null without root.
    static std::unique_ptr<LoopVolume> ImageOnly(const std::string& fixture, const std::string& image_name,
                                                 std::string* skip);
    // Unmounts and detaches.
    ~LoopVolume();
    LoopVolume(const LoopVolume&) = delete;
    LoopVolume& operator=(const LoopVolume&) = delete;

    const std::string& device() const { return device_; }
    // Mounts the device read-write at mount_point(); false, with the reason
    // in `skip`, where that driver is not available.
    bool Mount(MountDriver driver, std::string* skip);
    std::string mount_point() const { return folder_.path() + "/mnt"; }

private:
    LoopVolume() = default;
    TempDir folder_;  // the image copy and the mount point
    std::string device_;
    bool attached_ = false;  // device_ is a loop device to detach
    bool mounted_ = false;
};

}  // namespace verandol::testing
