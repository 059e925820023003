// Plain text: UTF-8 (with or without its byte order mark) or UTF-16LE
// after its mark, running to the first NUL, control or invalid byte. Text
// has no structure to vouch for it, so it is taken only where it ends as a
// writer leaves a file (zeros to the end of its sector), is at least 1 KiB
// long, and its first 4 KiB are mostly letters, digits and white space:
// then it is complete (never verified). Text that runs into other bytes is
// a fragment of something overwritten, and is not taken at all.
#pragma once

#include "carve/carve_reader.h"
#include "carve/formats/walked_file.h"
#include "ntfs/byte_reader.h"

namespace verandol {

bool TextStarts(ByteSpan head);
WalkResult WalkText(CarveReader& in);

}  // namespace verandol
