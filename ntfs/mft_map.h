// Where the MFT's records lie on the volume: the extents of record 0's $DATA.
//
// A long-used volume keeps its MFT in several pieces, and a record larger
// than a cluster can begin at the end of one piece and go on in the next.
// Both the walk and a later recovery read records through this one map, so
// a record the walk listed is read back from the same bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "ntfs/byte_reader.h"
#include "ntfs/byte_source.h"
#include "ntfs/cluster_map.h"
#include "ntfs/run_list.h"

namespace verandol {

class MftMap {
public:
    MftMap() = default;
    MftMap(const std::vector<Run>& runs, std::int64_t cluster_size, std::int64_t record_size);

    bool Empty() const { return clusters_.Empty(); }
    const ClusterMap& Clusters() const { return clusters_; }
    std::int64_t RecordSize() const { return record_size_; }

    // Where the MFT's byte `offset` lies on the volume and how many bytes
    // follow it in the same extent; nullopt unless the clusters there are
    // stored. `hint` remembers the extent used last, so ascending lookups
    // cost nothing; any value is safe to pass.
    std::optional<std::pair<std::int64_t, std::int64_t>> Locate(std::int64_t offset, std::size_t& hint) const {
        const auto place = clusters_.Find(offset, hint);
        if (!place || place->kind != ClusterExtent::Kind::Stored) return std::nullopt;
        return std::pair{place->position, place->contiguous};
    }

    // The index of the record whose first byte lies at volume position
    // `position`; nullopt when no record of this MFT begins there.
    std::optional<std::int64_t> IndexAt(std::int64_t position) const;

    // Reads record `index` (out.size() bytes) piece by piece across extents
    // and returns the position of its first byte; nullopt when some part is
    // unmapped or the volume delivers fewer bytes.
    std::optional<std::int64_t> ReadRecord(ByteSource& volume, std::int64_t index, MutableByteSpan out) const;

private:
    std::int64_t record_size_ = 0;
    ClusterMap clusters_;
};

}  // namespace verandol
