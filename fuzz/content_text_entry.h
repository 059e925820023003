#pragma once

#include "ntfs/byte_reader.h"

namespace verandol::fuzz {

// The input is a file's first bytes: guessed as text and dumped in
// hexadecimal, as the window's look at a file shows them.
void FuzzContentText(ByteSpan input);

}  // namespace verandol::fuzz
