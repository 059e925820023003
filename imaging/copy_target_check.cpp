#include "imaging/copy_target_check.h"

#include <sys/stat.h>

#include "recover/output_device_check.h"

namespace verandol {

namespace {

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::string CopyTargetRefusal(const std::string& source, const std::string& target) {
    struct stat source_st {};
    struct stat target_st {};
    if (::stat(target.c_str(), &target_st) == 0) {
        if (::stat(source.c_str(), &source_st) == 0 && source_st.st_dev == target_st.st_dev &&
            source_st.st_ino == target_st.st_ino)
            return target + " is " + source + " itself";
        if (!S_ISREG(target_st.st_mode)) return target + " is not a regular file; the copy is written to a file";
    }
    const std::string refusal = OutputDeviceRefusal(source, FolderOf(target));
    if (!refusal.empty()) return "not writing " + target + ": " + refusal;
    return {};
}

}  // namespace verandol
