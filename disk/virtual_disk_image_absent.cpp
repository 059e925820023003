// Built instead of vhd_image.cpp / vmdk_image.cpp when their library was not
// found at configure time; each file defines only the format it stands for.
#include "disk/virtual_disk_image.h"

namespace verandol {

#if !defined(VERANDOL_HAVE_VHDI)
bool VhdSupported() { return false; }
Outcome<std::unique_ptr<ByteSource>> OpenVhdImage(const std::string& path) {
    return Refusal(path + " is a VHD or VHDX image, and this build of Verandol was made without VHD support (libvhdi)");
}
#endif

#if !defined(VERANDOL_HAVE_VMDK)
bool VmdkSupported() { return false; }
Outcome<std::unique_ptr<ByteSource>> OpenVmdkImage(const std::string& path) {
    return Refusal(path + " is a VMDK image, and this build of Verandol was made without VMDK support (libvmdk)");
}
#endif

}  // namespace verandol
