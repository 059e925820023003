// The label of an opened volume, wherever it lies.
#pragma once

#include <string>

#include "ntfs/byte_source.h"

namespace verandol {

// The label of the volume at `address` (opened as `volume`): asked of the
// device or file directly when the address is one, otherwise of a copy of
// the volume's boot sector and first MFT records. Empty when there is none.
std::string VolumeLabelAt(ByteSource& volume, const std::string& address);

}  // namespace verandol
