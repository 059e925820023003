#pragma once

#include "ntfs/byte_reader.h"

namespace verandol::fuzz {

// Any bytes as a folder's index block and as a found file record: the names
// its entries and slack hold must be real names of user records, kept and
// found again by their reference; a record taken must be whole and numbered.
void FuzzIndexEntries(ByteSpan input);

}  // namespace verandol::fuzz
