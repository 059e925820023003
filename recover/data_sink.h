// Where a file's streamed bytes go: its temporary output file, or memory.
#pragma once

#include <cstdint>

#include "ntfs/byte_reader.h"

namespace verandol {

class DataSink {
public:
    virtual ~DataSink() = default;
    // Writes all of `bytes` at `offset` of the file; false when it failed.
    virtual bool WriteAt(std::int64_t offset, ByteSpan bytes) = 0;
};

}  // namespace verandol
