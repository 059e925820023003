// Where a file without a closing structure may be taken to end: a writer
// leaves zeros after a file's last byte up to the end of its sector.
#pragma once

#include <cstdint>

#include "carve/carve_reader.h"

namespace verandol {

// True when the bytes from `end` up to the next multiple of 512 from the
// file's start are all zero; true too at such a boundary and at the end of
// what may be read.
bool ZerosToSectorEnd(CarveReader& in, std::int64_t end);

}  // namespace verandol
