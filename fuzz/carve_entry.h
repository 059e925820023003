#pragma once

#include "ntfs/byte_reader.h"

namespace verandol::fuzz {

// The input is the bytes at a file start; the format's walker follows them
// as it follows a volume's, and must end within them.
void FuzzCarvePng(ByteSpan input);
void FuzzCarveJpeg(ByteSpan input);
void FuzzCarveGzip(ByteSpan input);
void FuzzCarveZip(ByteSpan input);
void FuzzCarvePdf(ByteSpan input);
void FuzzCarveGif(ByteSpan input);
// Two pieces: the first four bytes say where the gap is and how long, the
// rest is the bytes the JPEG, PNG and ZIP walkers follow across it.
void FuzzCarveGap(ByteSpan input);
// The input is a volume without a geometry: the pass over every sector of it.
void FuzzCarvePass(ByteSpan input);

}  // namespace verandol::fuzz
