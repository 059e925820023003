// 7z: the signature header (signature, version, a CRC over the start
// header), whose start header gives the next header's offset past it, size
// and CRC: the archive is 32 bytes plus that offset plus that size. The
// packed streams before the next header are covered by CRCs of their
// unpacked content only, which is not decoded here: complete when the next
// header's CRC matches, never verified.
#pragma once

#include "carve/carve_reader.h"
#include "carve/formats/walked_file.h"
#include "ntfs/byte_reader.h"

namespace verandol {

bool SevenZipStarts(ByteSpan head);
WalkResult WalkSevenZip(CarveReader& in);

}  // namespace verandol
