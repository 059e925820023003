#pragma once

#include "ntfs/byte_reader.h"

namespace verandol::fuzz {

// Any bytes as a whole disk: its extended-record chain, its partition table
// and every partition opened by address through the offset view.
void FuzzDisk(ByteSpan input);

}  // namespace verandol::fuzz
