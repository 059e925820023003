// JPEG: SOI, marker segments, entropy-coded data after each SOS, up to EOI.
// Complete when a frame and a scan were followed to EOI; there is no
// checksum. Thumbnails inside APP segments are passed over with them.
#pragma once

#include "carve/carve_reader.h"
#include "carve/formats/walked_file.h"
#include "ntfs/byte_reader.h"

namespace verandol {

bool JpegStarts(ByteSpan head);
WalkResult WalkJpeg(CarveReader& in);

}  // namespace verandol
