// Where the extended boot records of an MBR disk lie.
//
// Only needed to hand the probing library a copy of an EWF disk's tables
// (see probe_copy.h): the logical partitions are described by a chain of
// records scattered through the extended partition, which must be copied
// too. The library interprets them; this only follows the links.
#pragma once

#include <cstdint>
#include <vector>

#include "ntfs/byte_source.h"

namespace verandol {

// Byte positions of the MBR's extended boot records, in chain order. Stops
// at a record without its 55 AA signature, a loop, a link outside the disk,
// or after kMaxExtendedRecords.
inline constexpr int kMaxExtendedRecords = 256;
std::vector<std::int64_t> ExtendedRecordPositions(ByteSource& disk);

}  // namespace verandol
