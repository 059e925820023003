// ISO base media files: MP4, MOV, M4A, 3GP, HEIC, AVIF. A "ftyp" box first,
// then top-level boxes (a 32-bit size and a type, the size 1 meaning a
// 64-bit size follows) one after another. Nothing marks the last box: the
// file ends where the next bytes are no top-level box a writer puts there.
// No checksum: Complete when the boxes end on a box boundary and the file
// holds its metadata ("moov", or "meta" for still images) and its media
// data ("mdat"). The extension comes from the brands in "ftyp".
#pragma once

#include "carve/carve_reader.h"
#include "carve/formats/walked_file.h"
#include "ntfs/byte_reader.h"

namespace verandol {

bool IsoBmffStarts(ByteSpan head);
WalkResult WalkIsoBmff(CarveReader& in);

}  // namespace verandol
