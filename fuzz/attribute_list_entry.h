#pragma once

#include "ntfs/byte_reader.h"

namespace verandol::fuzz {

// A small MFT whose record 5 is a deleted base record with a resident
// attribute list, and records 6 on its extension records. Byte 0: the
// number of extension records (low 3 bits) and whether the last one names
// another base (bit 3); the rest is split evenly into the list's value and
// the attribute bytes of each extension record. The list is followed to the
// name and the data pieces, and the pieces are placed on one cluster map.
void FuzzAttributeList(ByteSpan input);

}  // namespace verandol::fuzz
