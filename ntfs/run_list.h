// Decoding NTFS run lists: the map from a non-resident attribute's virtual
// clusters to the clusters on the volume.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ntfs/byte_reader.h"

namespace verandol {

struct Run {
    std::uint64_t clusters = 0;  // N, the run's length
    std::int64_t lcn = 0;        // first cluster on the volume; meaningless when sparse
    bool sparse = false;         // an offset of zero: the clusters read as zeros
    bool valid = true;           // false when the run starts at a negative cluster
};

struct DecodedRunList {
    std::vector<Run> runs;
    // Empty when the list ended with its zero header byte; otherwise why
    // decoding stopped early (the runs before that point are kept).
    std::string reason;
};

// Each run is a header byte (low nibble: bytes of the length, high nibble:
// bytes of the offset), the length N unsigned, then the offset D: unsigned for
// the first run, two's complement for every later one, added to the current
// cluster. Every field is checked to fit before it is read.
DecodedRunList DecodeRunList(ByteSpan run_list);

}  // namespace verandol
