// The disk inside a VHD, VHDX or VMDK file, opened read-only.
#pragma once

#include <memory>
#include <string>

#include "ntfs/outcome.h"
#include "ntfs/byte_source.h"

namespace verandol {

// Whether this build reads them (libvhdi, libvmdk).
bool VhdSupported();
bool VmdkSupported();

// A differencing image, which holds only what changed since its parent
// image, is refused: its parent would be needed to read it.
Outcome<std::unique_ptr<ByteSource>> OpenVhdImage(const std::string& path);
// A descriptor file's extents are looked for beside it.
Outcome<std::unique_ptr<ByteSource>> OpenVmdkImage(const std::string& path);

}  // namespace verandol
