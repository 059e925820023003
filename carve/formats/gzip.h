// GZIP: the member header, the deflate stream (inflated through zlib to
// its last block), then CRC-32 and ISIZE. Verified when both match.
// A file of several members is carved as its first.
#pragma once

#include "carve/carve_reader.h"
#include "carve/formats/walked_file.h"
#include "ntfs/byte_reader.h"

namespace verandol {

bool GzipStarts(ByteSpan head);
WalkResult WalkGzip(CarveReader& in);

}  // namespace verandol
