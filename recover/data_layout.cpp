#include "recover/data_layout.h"

#include <algorithm>

#include "ntfs/attributes.h"
#include "ntfs/layout.h"
#include "ntfs/run_list.h"

namespace verandol {

namespace {

// Appends a piece's runs from `vcn` on, trimming what an earlier piece
// already covers.
void PlaceRuns(const DecodedRunList& list, std::int64_t vcn, std::vector<ClusterSpan>& spans) {
    for (const Run& run : list.runs) {
        if (run.clusters == 0) continue;
        ClusterSpan span;
        span.vcn = vcn;
        span.clusters = static_cast<std::int64_t>(std::min<std::uint64_t>(run.clusters, INT64_MAX / 4));
        span.kind = run.sparse ? ClusterSpan::Kind::Hole
                               : (run.valid ? ClusterSpan::Kind::Stored : ClusterSpan::Kind::Unreadable);
        span.lcn = run.lcn;
        if (__builtin_add_overflow(vcn, span.clusters, &vcn)) return;
        const std::int64_t covered = spans.empty() ? 0 : spans.back().vcn + spans.back().clusters;
        if (vcn <= covered) continue;
        if (span.vcn < covered) {
            const std::int64_t trim = covered - span.vcn;
            span.vcn = covered;
            span.clusters -= trim;
            if (span.kind == ClusterSpan::Kind::Stored && __builtin_add_overflow(span.lcn, trim, &span.lcn))
                span.kind = ClusterSpan::Kind::Unreadable;
        }
        spans.push_back(span);
    }
}

}  // namespace

Outcome<DataLayout> BuildDataLayout(const std::vector<ByteSpan>& pieces) {
    if (pieces.empty()) return Refusal("the file has no data attribute");
    auto first = ReadNonResidentExtent(pieces.front());
    if (!first) return Refusal("the data attribute is cut short");
    if (first->first_vcn != 0) return Refusal("the data attribute does not start at the file's first cluster");
    if (first->run_list_offset >= pieces.front().size()) return Refusal("the run list lies outside the data attribute");
    if (first->real_size < 0) return Refusal("the data attribute gives a negative size");

    DataLayout layout;
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
        if (!extent || extent->run_list_offset >= piece.size() || extent->first_vcn < 0) {
            if (damage.empty()) damage = "a piece of the file's data attribute is damaged";
            continue;
        }
        const DecodedRunList list = DecodeRunList(piece.subspan(extent->run_list_offset));
        if (!list.problem.empty() && damage.empty()) damage = "the run list is damaged: " + list.problem;
        PlaceRuns(list, extent->first_vcn, layout.spans);
    }
    layout.gap_reason = damage;
    return layout;
}

}  // namespace verandol
