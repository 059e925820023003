// RAR archives, both generations, walked block by block to the end of
// archive block, each header checked by its CRC (RAR 4: the low 16 bits of
// a CRC-32; RAR 5: a CRC-32). A stored file's data is checked against the
// CRC its header gives; compressed data is not decoded. Verified only when
// every file is stored and matches, so that a CRC covers every byte;
// otherwise complete at the end block.
#pragma once

#include "carve/carve_reader.h"
#include "carve/formats/walked_file.h"
#include "ntfs/byte_reader.h"

namespace verandol {

bool RarStarts(ByteSpan head);
WalkResult WalkRar(CarveReader& in);

}  // namespace verandol
