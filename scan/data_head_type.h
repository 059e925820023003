// A file's type told by its first bytes, for a file whose record keeps no
// name to take an extension from.
#pragma once

#include <cstdint>
#include <string>

#include "ntfs/byte_reader.h"
#include "ntfs/byte_source.h"

namespace verandol {

// The extension, "." included (".jpg", ".png", ".pdf", ".zip"), that the
// first bytes of the file's $DATA `data` tell by the start tests of the carve
// pass. Non-resident data is read from `volume`, whose byte `origin` is the
// volume's cluster 0. Empty when they tell none, and when the data is
// compressed or encrypted, begins with a hole or cannot be read.
std::string TypeFromDataHead(ByteSource& volume, std::int64_t origin, std::int64_t cluster_size, ByteSpan data);

}  // namespace verandol
