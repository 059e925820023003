// TIFF and the raw photo formats built on it (CR2, NEF, ARW, DNG): a byte
// order mark, then a chain of image file directories whose entries hold
// values or point to them, to strips and tiles of pixels, to embedded JPEG
// previews and to further directories (SubIFDs, EXIF, GPS, interoperability).
// Nothing marks where the file ends: it is the furthest byte any of these
// reaches. No checksum: Complete when every directory and everything they
// point to lies within what could be read.
#pragma once

#include "carve/carve_reader.h"
#include "carve/formats/walked_file.h"
#include "ntfs/byte_reader.h"

namespace verandol {

bool TiffStarts(ByteSpan head);
WalkResult WalkTiff(CarveReader& in);

}  // namespace verandol
