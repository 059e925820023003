// The volume's cluster bitmap ($Bitmap, record 6's $DATA): one bit per
// cluster, set while the cluster belongs to a file. A deleted file's clusters
// that are set again now belong to some later file.
#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "ntfs/byte_reader.h"
#include "ntfs/cluster_map.h"
#include "ntfs/outcome.h"
#include "ntfs/run_list.h"
#include "ntfs/byte_source.h"

namespace verandol {

inline constexpr std::int64_t kBitmapRecord = 6;

// Where the bitmap's bytes lie on the volume.
struct BitmapExtent {
    std::vector<Run> runs;
    std::int64_t bytes = 0;  // the $DATA's real size
};

// The extent from record 6, already through its fixups; refused when the
// record holds no usable non-resident $DATA.
Outcome<BitmapExtent> ReadBitmapExtent(ByteSpan record);

// The same for the MFT's own record bitmap (record 0's $BITMAP): one bit per
// record, set while the record is in use.
Outcome<BitmapExtent> ReadRecordBitmapExtent(ByteSpan mft_record);

// How many of a file's clusters the bitmap marks in use.
struct ClusterUse {
    std::int64_t in_use = 0;
    std::int64_t total = 0;
};

// The share of clusters still free, in whole percent: 100 only when none is
// in use and 0 only when all are, so neither end is reached by rounding.
int FreeSharePercent(const ClusterUse& use);

class ClusterBitmap {
public:
    ClusterBitmap(ByteSource& volume, std::int64_t cluster_size, BitmapExtent extent);

    // Counts the set bits of the clusters that hold the first `real_size`
    // bytes of a non-resident attribute with these runs (holes hold none).
    // Nullopt when the bitmap cannot answer for some cluster: it lies past
    // the bitmap's end, a run starts outside the volume, or the bitmap's
    // bytes cannot be read.
    std::optional<ClusterUse> Count(const std::vector<Run>& runs, std::int64_t real_size);

    // The same for a $DATA copy: resident values and empty files need no
    // cluster and count as none in use.
    std::optional<ClusterUse> CountForData(ByteSpan data);

    // The same for a $DATA kept in pieces (attribute lists), in ascending
    // first cluster; nullopt when the pieces do not follow one another from
    // cluster 0, since nobody can vouch for the clusters of a missing piece.
    std::optional<ClusterUse> CountForPieces(const std::vector<ByteSpan>& pieces);

    // The same for a file of another volume that lay over this one: its runs
    // count clusters of `piece_cluster_size` bytes from byte `origin` of this
    // volume. Every cluster of this volume that holds any of the file's
    // bytes counts, so a neighbour's cluster shared at the edge counts too.
    std::optional<ClusterUse> CountForPiecesOf(const std::vector<ByteSpan>& pieces, std::int64_t piece_cluster_size,
                                               std::int64_t origin);

    // True when bit `index` is set; nullopt past the bitmap or unreadable.
    std::optional<bool> IsSet(std::int64_t index);

    // The runs of a non-resident $DATA's pieces in file order and the real
    // size, or nullopt when they do not follow one another from cluster 0.
    struct PieceRuns {
        std::vector<Run> runs;
        std::int64_t real_size = 0;
    };
    static std::optional<PieceRuns> RunsOfPieces(const std::vector<ByteSpan>& pieces);

private:
    // Set bits among `count` clusters from `first`; nullopt when unreadable.
    std::optional<std::int64_t> CountRange(std::int64_t first, std::int64_t count);
    // Block `block` of the bitmap's bytes, null when it cannot be read.
    const std::vector<std::uint8_t>* Block(std::int64_t block);
    const std::vector<std::uint8_t>* LoadBlock(std::int64_t block);

    ByteSource& volume_;
    std::int64_t cluster_size_;
    BitmapExtent extent_;
    ClusterMap map_;  // where the bitmap's bytes lie
    // Blocks of the bitmap read so far; dropped all at once past a bound, so
    // a bitmap of a large volume never sits in memory whole.
    std::unordered_map<std::int64_t, std::vector<std::uint8_t>> blocks_;
    // The block asked for last: files deleted together lie close together.
    std::int64_t last_block_ = -1;
    const std::vector<std::uint8_t>* last_bytes_ = nullptr;
};

}  // namespace verandol
