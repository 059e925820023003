// GIF: the header and logical screen, colour tables, then images and
// extensions made of length-prefixed sub-blocks, up to the trailer byte.
// Complete when the trailer is reached: GIF carries no checksum.
#pragma once

#include "carve/carve_reader.h"
#include "carve/formats/walked_file.h"
#include "ntfs/byte_reader.h"

namespace verandol {

bool GifStarts(ByteSpan head);
WalkResult WalkGif(CarveReader& in);

}  // namespace verandol
