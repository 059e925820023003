#pragma once

#include "ntfs/byte_reader.h"

namespace verandol::fuzz {

// Any bytes as a disk searched for lost volumes: the boot-sector check on
// its first sector, the choice of a backup boot sector, and the search.
void FuzzBootCandidate(ByteSpan input);

}  // namespace verandol::fuzz
