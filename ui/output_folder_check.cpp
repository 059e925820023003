#include "ui/output_folder_check.h"

#include <sys/stat.h>

namespace verandol {

bool OutputFolderOnVolume(const std::string& volume_path, const std::string& folder) {
    struct stat volume {};
    struct stat target {};
    if (stat(volume_path.c_str(), &volume) != 0 || !S_ISBLK(volume.st_mode)) return false;
    if (stat(folder.c_str(), &target) != 0) return false;
    return target.st_dev == volume.st_rdev;
}

}  // namespace verandol
