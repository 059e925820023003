// PNG: the signature, then chunks (length, type, data, CRC-32 over type and
// data) up to IEND. Verified when every chunk's CRC matches.
#pragma once

#include "carve/carve_reader.h"
#include "carve/formats/walked_file.h"
#include "ntfs/byte_reader.h"

namespace verandol {

bool PngStarts(ByteSpan head);
WalkResult WalkPng(CarveReader& in);

}  // namespace verandol
