// RIFF: WAV, AVI and WebP. "RIFF", the size of what follows, the form type,
// then chunks (a four-character id, a size, the data padded to an even
// length). No checksum: Complete when the chunks tile the size the header
// declares exactly. An AVI over 1 GiB goes on in further "RIFF" "AVIX"
// lists straight after the first; they are followed too.
#pragma once

#include "carve/carve_reader.h"
#include "carve/formats/walked_file.h"
#include "ntfs/byte_reader.h"

namespace verandol {

bool RiffStarts(ByteSpan head);
WalkResult WalkRiff(CarveReader& in);

}  // namespace verandol
