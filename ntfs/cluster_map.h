// Where a non-resident attribute's bytes lie on the volume.
//
// Decoded runs say "N clusters at cluster L"; a reader wants "byte X of the
// attribute is at volume byte P, and Q more bytes follow it there". The map
// is that answer, built once from the runs with every check in one place, so
// no reader multiplies clusters by hand. A value of any size read from a
// volume is hostile: a run may start before the volume, lengths may not fit
// in bytes, a later piece may overlap an earlier one; the map keeps what can
// be placed and marks the rest.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "ntfs/byte_reader.h"
#include "ntfs/byte_source.h"
#include "ntfs/run_list.h"

namespace verandol {

struct ClusterExtent {
    enum class Kind {
        Stored,      // the clusters hold the bytes
        Hole,        // a sparse run: the bytes read as zeros
        Unreadable,  // the run starts before the volume or its position does not fit
    };
    std::int64_t vcn = 0;  // first cluster within the attribute
    std::int64_t clusters = 0;
    Kind kind = Kind::Stored;
    std::int64_t lcn = 0;  // first cluster on the volume, for Stored extents
};

class ClusterMap {
public:
    ClusterMap() = default;
    explicit ClusterMap(std::int64_t cluster_size) : cluster_size_(cluster_size) {}

    // A map of one piece's runs from cluster 0.
    static ClusterMap FromRuns(const std::vector<Run>& runs, std::int64_t cluster_size);

    // Places a piece's runs from cluster `first_vcn` on, after what the map
    // holds, trimming what an earlier piece already covers. Runs of no
    // clusters are dropped; a run longer than any volume is cut so that
    // cluster numbers and byte lengths stay computable; placing stops where
    // the cluster numbers would overflow. False, and nothing placed, for a
    // negative `first_vcn` or a map without a cluster size.
    bool AddPiece(const std::vector<Run>& runs, std::int64_t first_vcn);

    std::int64_t ClusterSize() const { return cluster_size_; }
    bool Empty() const { return extents_.empty(); }
    // Ascending and disjoint; clusters between extents are unmapped.
    const std::vector<ClusterExtent>& Extents() const { return extents_; }

    // The volume byte holding attribute byte `offset`, which lies in `e`;
    // nullopt when that does not fit in 64 bits.
    std::optional<std::int64_t> Position(const ClusterExtent& e, std::int64_t offset) const;

    struct Place {
        ClusterExtent::Kind kind;
        std::int64_t position;    // on the volume, for Stored
        std::int64_t contiguous;  // bytes from `offset` to the extent's end; INT64_MAX when that does not fit
    };
    // Where attribute byte `offset` lies; nullopt when no extent covers it.
    // `hint` remembers the extent used last, so ascending lookups cost
    // nothing; any value is safe to pass.
    std::optional<Place> Find(std::int64_t offset, std::size_t& hint) const;

    // The attribute byte held at volume byte `position`; nullopt when no
    // stored extent holds it.
    std::optional<std::int64_t> OffsetAt(std::int64_t position) const;

    enum class Holes { Zeros, Refuse };
    struct Gathered {
        enum class Stop { Complete, Unmapped, Hole, Unreadable, Short };
        Stop stop = Stop::Complete;
        std::size_t bytes = 0;             // delivered before the stop
        std::int64_t first_position = -1;  // volume byte of the first byte, when it is stored
    };
    // Reads out.size() bytes of the attribute from `offset` on, across
    // extents; holes read as zeros or stop the read.
    Gathered Read(ByteSource& volume, std::int64_t offset, MutableByteSpan out, Holes holes) const;

private:
    std::int64_t cluster_size_ = 0;
    std::vector<ClusterExtent> extents_;
};

}  // namespace verandol
