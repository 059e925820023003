#include "fuzz/mount_info_entry.h"

#include <algorithm>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "recover/mount_info.h"

namespace verandol::fuzz {

void FuzzMountInfo(ByteSpan input) {
    const std::string_view table(reinterpret_cast<const char*>(input.data()), input.size());
    const std::vector<MountEntry> entries = ParseMountInfo(table);
    VERANDOL_FUZZ_CHECK(entries.size() <= static_cast<std::size_t>(std::count(table.begin(), table.end(), '\n')) + 1);
    for (const MountEntry& entry : entries) {
        VERANDOL_FUZZ_CHECK(!entry.mount_point.empty() && entry.mount_point[0] == '/');
        // Unescaping only ever shortens a field.
        VERANDOL_FUZZ_CHECK(entry.mount_point.size() + entry.fs_type.size() + entry.source.size() <= table.size());
        const std::string below = entry.mount_point + "/x";
        const auto holding = MountHolding(entries, entry.device, below);
        VERANDOL_FUZZ_CHECK(holding.has_value());
        VERANDOL_FUZZ_CHECK(holding->device == entry.device && holding->mount_point.size() >= entry.mount_point.size());
    }
}

}  // namespace verandol::fuzz
