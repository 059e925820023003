#include "carve/formats/sector_tail.h"

#include <algorithm>

namespace verandol {

bool ZerosToSectorEnd(CarveReader& in, std::int64_t end) {
    constexpr std::int64_t kSector = 512;
    if (end < 0 || end >= in.Size() || end % kSector == 0) return end >= 0;
    const std::int64_t boundary = (end / kSector + 1) * kSector;
    const ByteSpan tail = in.Window(end, static_cast<std::size_t>(boundary - end));
    return std::all_of(tail.begin(), tail.end(), [](std::uint8_t b) { return b == 0; });
}

}  // namespace verandol
