// The times a recovered file gets back: when its data was last modified
// and last read, from its record.
#pragma once

#include <cstdint>

#include "ntfs/byte_reader.h"

namespace verandol {

// NTFS times; 0 where the record holds none.
struct RecordTimes {
    std::uint64_t modified = 0;
    std::uint64_t accessed = 0;
};

// From $STANDARD_INFORMATION, which Windows keeps current; from the long
// $FILE_NAME's copy when the record has no standard information or it is
// cut short. `record` has had its fixups applied.
RecordTimes ReadRecordTimes(ByteSpan record);

}  // namespace verandol
