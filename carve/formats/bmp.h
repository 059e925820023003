// BMP: the file header ("BM", the file's size, the pixel array's offset),
// the DIB header after it (its size tells its kind: 12, 40, 52, 56, 64,
// 108 or 124 bytes), an optional colour table, then the pixel rows. No
// checksum: Complete when the file size the header states agrees with where
// the pixel array (and any colour profile after it) ends.
#pragma once

#include "carve/carve_reader.h"
#include "carve/formats/walked_file.h"
#include "ntfs/byte_reader.h"

namespace verandol {

bool BmpStarts(ByteSpan head);
WalkResult WalkBmp(CarveReader& in);

}  // namespace verandol
