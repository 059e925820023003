#pragma once

#include "ntfs/byte_reader.h"

namespace verandol::fuzz {

// The input is a JPEG file: its frame, tables, restart interval and first
// scan header are taken as they come, then the scan's data is checked by
// the fast checker and by the plain one, which must agree on the outcome
// and on the byte a failing check reached.
void FuzzJpegScan(ByteSpan input);

}  // namespace verandol::fuzz
