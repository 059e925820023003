// What kind of file a disk image is, from its own signature.
#pragma once

#include <string>

namespace verandol {

enum class ImageFormat {
    Raw,   // a block device, or a file holding the disk's bytes as they are
    Ewf,   // EnCase .E01 (EVF / EVF2 segments)
    Vhd,   // Virtual PC / Hyper-V .vhd, and .vhdx
    Vmdk,  // VMware .vmdk (sparse extent, or a descriptor naming its extents)
};

// Read with an ordinary read-only open, so it answers even in a build
// without the format's library (which then refuses the image in words
// instead of calling it "not NTFS"). Anything unrecognised is Raw.
ImageFormat DetectImageFormat(const std::string& path);

}  // namespace verandol
