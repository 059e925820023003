// JPEG: SOI, marker segments, entropy-coded data after each SOS, up to EOI.
// Complete when a frame and a scan were followed to EOI; there is no
// checksum, but the scans of a sequential Huffman frame (nearly every
// photo) are decoded, so another file's bytes inside them break the walk.
// Progressive and arithmetic-coded scans are followed by their markers
// alone. Thumbnails inside APP segments are passed over with them.
#pragma once

#include "carve/carve_reader.h"
#include "carve/formats/walked_file.h"
#include "ntfs/byte_reader.h"

namespace verandol {

bool JpegStarts(ByteSpan head);
WalkResult WalkJpeg(CarveReader& in);

}  // namespace verandol
