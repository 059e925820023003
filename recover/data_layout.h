// A file's $DATA as one map of its virtual clusters, from all its pieces.
//
// A large or fragmented file keeps its $DATA in several pieces, each in its
// own record with its own first cluster and run list. Recovery places every
// piece's runs at the clusters they describe; what no piece covers is
// missing, not a hole the file has.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ntfs/byte_reader.h"
#include "ntfs/cluster_map.h"
#include "ntfs/outcome.h"

namespace verandol {

struct DataLayout {
    std::int64_t real_size = 0;
    std::int64_t valid_size = 0;       // bytes from here on read as zeros (initialized size, at most the real size)
    std::uint16_t flags = 0;           // of the piece that starts at cluster 0
    std::int64_t unit_clusters = 0;    // clusters per compression unit; 0 when not compressed
    ClusterMap map;                    // every piece placed; what no extent covers is missing
    std::string gap_reason;            // what to say when valid data falls in a gap
};

// `pieces` are $DATA attribute copies in ascending first cluster, on a
// volume of `cluster_size` bytes per cluster; the first must start at cluster 0. Refuses a first piece that is not a
// usable non-resident header; a later damaged piece only leaves a gap.
Outcome<DataLayout> BuildDataLayout(const std::vector<ByteSpan>& pieces, std::int64_t cluster_size);

}  // namespace verandol
