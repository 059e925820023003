#pragma once

#include "ntfs/byte_reader.h"

namespace verandol::fuzz {

// Any bytes as one MFT file record (up to 64 KiB): fixups, the attribute
// lookups, the row a scan would list, the data attribute's value or run list,
// and the output name made from the file name.
void FuzzRecord(ByteSpan input);

}  // namespace verandol::fuzz
