// What a record's own attributes say about its volume's cluster size.
//
// A non-resident attribute that starts at its first cluster allocates whole
// clusters for every cluster it maps: its allocated size divided by the
// clusters it spans is the cluster size of the volume that wrote it. A
// volume formatted over with another cluster size leaves records whose runs
// count clusters the present boot sector knows nothing of.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "ntfs/byte_reader.h"

namespace verandol {

// The cluster size the record's unnamed $DATA (else its folder index's
// $INDEX_ALLOCATION) implies, a power of two from 512 bytes to 2 MiB;
// nullopt when no such attribute says.
std::optional<std::uint32_t> ClusterSizeEvidence(ByteSpan record);

// Counts the cluster sizes records imply and names the one most say.
class ClusterSizeVotes {
public:
    void Add(std::uint32_t cluster_size);
    // The size most votes name (the smaller one on a tie); nullopt without votes.
    std::optional<std::uint32_t> Winner() const;

private:
    // One count per power of two from 2^9 to 2^21.
    static constexpr int kSmallestShift = 9;
    std::array<std::uint32_t, 13> votes_{};
};

}  // namespace verandol
