// LZNT1, the compression NTFS applies to the files of a compressed folder.
//
// A compressed file is stored in compression units (usually 16 clusters).
// A unit whose data shrank is stored as a sequence of chunks, each standing
// for 4,096 bytes of the file: a 16-bit header (bits 0-11 the chunk's stored
// length minus 3, header included; bit 15 set when the chunk is compressed),
// then either the 4,096 bytes as they are, or groups of a flag byte and eight
// items, each a literal byte (flag bit 0) or a 16-bit back-reference (flag
// bit 1) into the bytes already produced by the same chunk.
#pragma once

#include <cstddef>

#include "ntfs/byte_reader.h"
#include "ntfs/outcome.h"

namespace verandol {

inline constexpr std::size_t kLznt1ChunkBytes = 4096;

// Decompresses the stored bytes of one unit into `out`, which the caller
// sizes to the whole unit and fills with zeros first: a chunk that produced
// fewer than 4,096 bytes, and everything after the last chunk, stay zeros.
// Returns how many bytes of `out` the chunks stood for. Refuses data that
// cannot have come from a compressor (a reference before its chunk's start,
// a chunk that runs past its input or produces more than 4,096 bytes);
// nothing outside either buffer is ever read or written.
Outcome<std::size_t> DecompressLznt1(ByteSpan in, MutableByteSpan out);

}  // namespace verandol
