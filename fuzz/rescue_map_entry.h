#pragma once

#include "ntfs/byte_reader.h"

namespace verandol::fuzz {

// The input as a device copier's map: a map that parses covers its extent
// with touching, merged areas, and reads back the same from its own text.
void FuzzRescueMap(ByteSpan input);

}  // namespace verandol::fuzz
