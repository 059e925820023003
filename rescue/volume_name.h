// A found volume's label, read from its own $Volume record (or the mirror's
// copy of it) rather than asked of a library that needs a file to probe.
#pragma once

#include <string>

#include "ntfs/boot_sector.h"
#include "ntfs/byte_source.h"

namespace verandol {

// Empty when neither copy of record 3 carries a label.
std::string ReadVolumeName(ByteSource& volume, const VolumeLayout& layout);

}  // namespace verandol
