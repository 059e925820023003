#pragma once

#include "ntfs/byte_reader.h"

namespace verandol::fuzz {

// The first byte picks the unit's size (4 KiB << (byte & 7), up to 512 KiB);
// the rest is a unit's stored LZNT1 chunks, decompressed into a buffer of
// exactly that size.
void FuzzLznt1(ByteSpan input);

}  // namespace verandol::fuzz
