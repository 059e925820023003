#pragma once

#include "ntfs/byte_reader.h"

namespace verandol::fuzz {

// Any bytes as the start of a volume: identifier, serial and geometry.
void FuzzBootSector(ByteSpan input);

}  // namespace verandol::fuzz
