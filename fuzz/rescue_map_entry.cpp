#include "fuzz/rescue_map_entry.h"

#include <string_view>

#include "fuzz/fuzz_check.h"
#include "reading/rescue_map.h"

namespace verandol::fuzz {

void FuzzRescueMap(ByteSpan input) {
    const std::string_view text(reinterpret_cast<const char*>(input.data()), input.size());
    const Outcome<RescueMap> map = ParseRescueMap(text);
    if (!map) {
        VERANDOL_FUZZ_CHECK(!map.reason().empty());
        return;
    }
    std::int64_t end = 0;
    AreaStatus last = AreaStatus::Finished;
    const std::vector<MapArea> areas = map->Areas();
    for (std::size_t i = 0; i < areas.size(); ++i) {
        VERANDOL_FUZZ_CHECK(areas[i].position == end && areas[i].size > 0);
        VERANDOL_FUZZ_CHECK(i == 0 || areas[i].status != last);
        end = areas[i].End();
        last = areas[i].status;
    }
    VERANDOL_FUZZ_CHECK(end == map->Size());
    std::int64_t unfinished = 0;
    for (const UnreadRange& stretch : map->Unfinished()) unfinished += stretch.length;
    VERANDOL_FUZZ_CHECK(unfinished + map->BytesWith(AreaStatus::Finished) == map->Size());

    const Outcome<RescueMap> again = ParseRescueMap(FormatRescueMap(*map, {"again"}));
    VERANDOL_FUZZ_CHECK(again.has_value());
    VERANDOL_FUZZ_CHECK(again->Areas() == areas && again->current == map->current);
}

}  // namespace verandol::fuzz
