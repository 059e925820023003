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
void FuzzCarveBmp(ByteSpan input);
void FuzzCarveTiff(ByteSpan input);
void FuzzCarveRiff(ByteSpan input);
void FuzzCarveIsoBmff(ByteSpan input);
void FuzzCarveSqlite(ByteSpan input);
void FuzzCarveOle2(ByteSpan input);
void FuzzCarveMp3(ByteSpan input);
void FuzzCarveFlac(ByteSpan input);
void FuzzCarveOgg(ByteSpan input);
void FuzzCarveMatroska(ByteSpan input);
void FuzzCarveSevenZip(ByteSpan input);
void FuzzCarveRar(ByteSpan input);
void FuzzCarvePe(ByteSpan input);
void FuzzCarveText(ByteSpan input);
// Two pieces: the first four bytes say where the gap is and how long, the
// rest is the bytes the JPEG, PNG and ZIP walkers follow across it.
void FuzzCarveGap(ByteSpan input);
// The input is a volume without a geometry: the pass over every sector of it.
void FuzzCarvePass(ByteSpan input);

}  // namespace verandol::fuzz
