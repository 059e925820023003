#pragma once

#include "ntfs/byte_reader.h"

namespace verandol::fuzz {

// The input as a mount table: every parsed entry must be one of its lines,
// and the mount found for a path must hold that path.
void FuzzMountInfo(ByteSpan input);

}  // namespace verandol::fuzz
