#include "ui/output_folder_check.h"

#include <sys/stat.h>

#include "disk/volume_address.h"

namespace verandol {

bool OutputFolderOnVolume(const std::string& volume_path, const std::string& folder) {
    struct stat volume {};
    struct stat target {};
    // A partition inside a disk lies on the disk's device.
    const std::string device = ParseVolumeAddress(volume_path).path;
    if (stat(device.c_str(), &volume) != 0 || !S_ISBLK(volume.st_mode)) return false;
    if (stat(folder.c_str(), &target) != 0) return false;
    return target.st_dev == volume.st_rdev;
}

}  // namespace verandol
