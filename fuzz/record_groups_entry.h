#pragma once

#include "ntfs/byte_reader.h"

namespace verandol::fuzz {

// Any bytes as a whole volume, scanned deep: every record found is checked,
// grouped into an MFT and given a geometry. The scan must end, list each
// position once at a sector boundary inside the input, give every row a
// folder, and list the same rows whatever the size of its reads.
void FuzzRecordGroups(ByteSpan input);

}  // namespace verandol::fuzz
