// FLAC: "fLaC", metadata blocks up to the one flagged last (STREAMINFO
// first, with the stream's sample count), then frames: each a header with
// its CRC-8 and the frame's CRC-16 at its end. A frame's end is where the
// CRC-16 closes and the next frame's header (numbered next) or the stream's
// last sample follows. Verified when every frame's CRC matches and the
// frames hold exactly STREAMINFO's samples.
#pragma once

#include "carve/carve_reader.h"
#include "carve/formats/walked_file.h"
#include "ntfs/byte_reader.h"

namespace verandol {

bool FlacStarts(ByteSpan head);
WalkResult WalkFlac(CarveReader& in);

}  // namespace verandol
