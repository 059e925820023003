#include "recover/data_layout.h"

#include <algorithm>

#include "ntfs/attributes.h"
#include "ntfs/layout.h"

namespace verandol {

Outcome<DataLayout> BuildDataLayout(const std::vector<ByteSpan>& pieces, std::int64_t cluster_size) {
    if (pieces.empty()) return Refusal("the file has no data attribute");
    auto first = ReadNonResidentExtent(pieces.front());
    if (!first) return Refusal("the data attribute is cut short");
    if (first->first_vcn != 0) return Refusal("the data attribute does not start at the file's first cluster");
    if (!ReadRunList(pieces.front(), *first)) return Refusal("the run list lies outside the data attribute");
    if (first->real_size < 0) return Refusal("the data attribute gives a negative size");

    DataLayout layout;
    layout.map = ClusterMap(cluster_size);
    layout.real_size = first->real_size;
    layout.valid_size = std::clamp<std::int64_t>(first->initialized_size, 0, first->real_size);
    layout.flags = first->flags;
    if ((first->flags & layout::attr::kCompressionMask) && first->compression_unit != 0) {
        if (first->compression_unit > 16) return Refusal("the file's compression unit is impossibly large");
        layout.unit_clusters = std::int64_t{1} << first->compression_unit;
    }

    std::string damage;
    for (const ByteSpan piece : pieces) {
        auto extent = ReadNonResidentExtent(piece);
        auto list = extent && extent->first_vcn >= 0 ? ReadRunList(piece, *extent) : std::nullopt;
        if (!list) {
            if (damage.empty()) damage = "a piece of the file's data attribute is damaged";
            continue;
        }
        if (!list->reason.empty() && damage.empty()) damage = "the run list is damaged: " + list->reason;
        layout.map.AddPiece(list->runs, extent->first_vcn);
    }
    layout.gap_reason = damage;
    return layout;
}

}  // namespace verandol
