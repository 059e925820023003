#pragma once

#include "ntfs/byte_reader.h"

namespace verandol::fuzz {

// The first byte picks the cluster size (512 << (byte & 7)); the rest is a run
// list, decoded and then used as the MFT's map to read records from a small
// volume.
void FuzzRunList(ByteSpan input);

}  // namespace verandol::fuzz
