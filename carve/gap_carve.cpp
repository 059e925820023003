#include "carve/gap_carve.h"

#include <algorithm>
#include <string_view>

#include "carve/carve_reader.h"
#include "ntfs/checked_math.h"

namespace verandol {

namespace {

// The check a walk over two pieces must reach: a checksum over every byte
// where the format has one, else a structure decoded to its end.
std::optional<CarveCheck> NeededCheck(const CarveFormat& format) {
    const std::string_view name = format.name;
    if (name == "png" || name == "zip") return CarveCheck::Verified;
    if (name == "jpeg") return CarveCheck::Complete;
    return std::nullopt;
}

}  // namespace

std::optional<BridgedFile> BridgeGap(ByteSource& volume, std::int64_t position, std::int64_t unit,
                                     const CarveFormat& format, const WalkedFile& broken, GapBudget& budget,
                                     const std::function<bool()>& stop) {
    const auto needed = NeededCheck(format);
    if (!needed || unit <= 0 || position < 0 || broken.held_to < 0 || broken.broke_at < broken.held_to)
        return std::nullopt;
    // The first cluster boundary after the start, and the last at or before the break.
    std::int64_t first, last;
    if (AddOverflows(position, broken.held_to, first) || AddOverflows(position, broken.broke_at, last))
        return std::nullopt;
    first = std::max(first, position + 1);
    first = (first + unit - 1) / unit * unit;
    last = last / unit * unit;
    if (last < first) return std::nullopt;
    for (std::int64_t k = 1; k <= kMaxGapUnits; ++k) {
        for (std::int64_t split = last, tried = 0; split >= first && tried < kMaxGapSplits; split -= unit, ++tried) {
            if (budget.bytes <= 0 || (stop && stop())) return std::nullopt;
            CarveReader reader(volume, position, format.max_bytes);
            reader.SkipAt(split - position, k * unit);
            if (stop) reader.StopWhen(stop);
            const WalkResult walked = format.walk(reader);
            budget.bytes -= reader.BytesFetched();
            if (reader.Stopped() || !walked || walked->check > *needed || walked->length <= split - position)
                continue;
            // Bytes the device could not deliver vouch for nothing.
            if (!reader.Unread().empty()) continue;
            return BridgedFile{*walked, split - position, k * unit};
        }
    }
    return std::nullopt;
}

}  // namespace verandol
