// A file whose walk broke where a piece of it seems to be missing, walked
// again as two pieces: its bytes up to a cluster boundary, then the rest
// from k clusters further on (another file's clusters between them). Taken
// only when the structure then closes, checksums and all.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "carve/carve_formats.h"
#include "carve/formats/walked_file.h"
#include "ntfs/byte_source.h"

namespace verandol {

// How far a pass may go in bridging gaps: the bytes the walks over two
// pieces may still read. Granted a share of what the pass reads, so bridging
// never costs more than that share however many files are broken.
struct GapBudget {
    std::int64_t bytes = 0;
};

struct BridgedFile {
    WalkedFile walked;
    std::int64_t gap_at = 0;     // offset in the file where its second piece begins
    std::int64_t gap_bytes = 0;  // bytes of the volume between the two pieces
};

// The boundaries tried: the last few before the break, each with gaps of
// 1 to kMaxGapUnits units.
inline constexpr int kMaxGapSplits = 6;
inline constexpr int kMaxGapUnits = 16;

// Tries the file the walk of `format` at `position` broke (`broken` holds
// where); nullopt when no gap makes it whole, when the format has no check
// strong enough to tell, or when the budget runs out.
std::optional<BridgedFile> BridgeGap(ByteSource& volume, std::int64_t position, std::int64_t unit,
                                     const CarveFormat& format, const WalkedFile& broken, GapBudget& budget,
                                     const std::function<bool()>& stop);

}  // namespace verandol
