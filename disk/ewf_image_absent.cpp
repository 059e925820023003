// Built instead of ewf_image.cpp when libewf was not found at configure time.
#include "disk/ewf_image.h"

namespace verandol {

bool EwfSupported() { return false; }

Outcome<std::unique_ptr<ByteSource>> OpenEwfImage(const std::string& path) {
    return Refusal(path + " is an EWF (E01) image, and this build of Verandol was made without EWF support (libewf)");
}

}  // namespace verandol
