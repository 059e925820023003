// MPEG audio (MP3): an optional ID3v2 tag (its size synchsafe), then frames
// chained header to header (each one's length from its bitrate, sample
// rate and padding; version, layer and sample rate the same throughout),
// then an optional 128-byte ID3v1 tag. Nothing checks the audio: complete
// when the frames end cleanly (at a tag, or at the zeros left to the end of
// their sector), and never verified.
#pragma once

#include "carve/carve_reader.h"
#include "carve/formats/walked_file.h"
#include "ntfs/byte_reader.h"

namespace verandol {

bool Mp3Starts(ByteSpan head);
WalkResult WalkMp3(CarveReader& in);

}  // namespace verandol
