#include "recover/data_streaming.h"

#include <algorithm>
#include <vector>

#include "ntfs/checked_math.h"
#include "ntfs/lznt1.h"

namespace verandol {

namespace {

using Kind = ClusterExtent::Kind;

// The largest unit NTFS writes is 16 clusters of 4 KiB; a far larger one is
// damage and would ask for large buffers.
constexpr std::int64_t kMaxUnitBytes = 4 << 20;

std::string GapReason(const DataLayout& layout, std::int64_t at) {
    if (!layout.gap_reason.empty()) return layout.gap_reason;
    return "no run of the file covers its bytes from " + std::to_string(at) + " on";
}

// Zeros for [from, to): missing when they fall below the valid size.
void Zeros(const DataLayout& layout, std::int64_t from, std::int64_t to, DataWriter& writer) {
    if (from < layout.valid_size) writer.NoteMissing(GapReason(layout, from));
    writer.Skip(to - from);
}

// Copies [from, to) of a stored span (file offsets) from the volume, zeros
// past the valid size or the volume's end.
bool CopyStored(const DataLayout& layout, const ClusterExtent& span, std::int64_t from, std::int64_t to,
                std::int64_t volume_size, DataWriter& writer) {
    const std::int64_t stored_to = std::min(to, std::max(from, layout.valid_size));
    const std::optional<std::int64_t> position = layout.map.Position(span, from);
    if (!position) {
        writer.NoteMissing("a run of the file starts outside the volume");
        writer.Skip(to - from);
        return true;
    }
    const std::int64_t start = *position;
    const std::int64_t wanted = stored_to - from;
    std::int64_t inside = wanted;
    if (volume_size > 0) inside = std::clamp<std::int64_t>(volume_size - start, 0, wanted);
    if (inside < wanted) writer.NoteMissing("a run of the file reaches past the end of the volume");
    if (!writer.CopyFromVolume(start, inside)) return false;
    writer.Skip(to - from - inside);
    return true;
}

}  // namespace

bool WriteStoredData(const DataLayout& layout, std::int64_t cluster_size, std::int64_t volume_size,
                     DataWriter& writer) {
    std::int64_t at = 0;
    for (const ClusterExtent& span : layout.map.Extents()) {
        if (at >= layout.real_size) break;
        const std::int64_t start = SaturatingMul(span.vcn, cluster_size);
        if (start >= layout.real_size) break;
        const std::int64_t end = std::min(SaturatingMul(span.vcn + span.clusters, cluster_size), layout.real_size);
        if (start > at) Zeros(layout, at, start, writer);
        const std::int64_t from = std::max(start, at);
        switch (span.kind) {
            case Kind::Hole: writer.Skip(end - from); break;
            case Kind::Unreadable:
                if (from < layout.valid_size) writer.NoteMissing("a run of the file starts outside the volume");
                writer.Skip(end - from);
                break;
            case Kind::Stored:
                if (!CopyStored(layout, span, from, end, volume_size, writer)) return false;
                break;
        }
        at = end;
        if (writer.StopRequested()) return false;
    }
    if (at < layout.real_size) Zeros(layout, at, layout.real_size, writer);
    return true;
}

namespace {

// What the runs say about one compression unit's clusters.
struct UnitClusters {
    std::vector<ClusterExtent> stored;  // the stored clusters, in order, clipped to the unit
    std::int64_t stored_count = 0;
    bool missing = false;      // some cluster lies in a gap or outside the volume
    bool hole_before = false;  // a hole comes before a stored cluster: not what a compressor writes
};

UnitClusters ClustersOfUnit(const DataLayout& layout, std::size_t& hint, std::int64_t unit_vcn) {
    UnitClusters unit;
    const std::int64_t unit_end = unit_vcn + layout.unit_clusters;
    const std::vector<ClusterExtent>& extents = layout.map.Extents();
    while (hint < extents.size() && extents[hint].vcn + extents[hint].clusters <= unit_vcn) ++hint;
    std::int64_t at = unit_vcn;
    bool seen_hole = false;
    for (std::size_t i = hint; i < extents.size() && extents[i].vcn < unit_end; ++i) {
        const ClusterExtent& span = extents[i];
        if (span.vcn > at) unit.missing = true;
        const std::int64_t from = std::max(span.vcn, unit_vcn);
        const std::int64_t to = std::min(span.vcn + span.clusters, unit_end);
        if (span.kind == Kind::Unreadable) unit.missing = true;
        if (span.kind == Kind::Hole) seen_hole = true;
        if (span.kind == Kind::Stored) {
            if (seen_hole) unit.hole_before = true;
            std::int64_t lcn = 0;
            if (AddOverflows(span.lcn, from - span.vcn, lcn)) unit.missing = true;
            unit.stored.push_back({from, to - from, Kind::Stored, lcn});
            unit.stored_count += to - from;
        }
        at = to;
    }
    if (at < unit_end) unit.missing = true;
    return unit;
}

}  // namespace

bool WriteCompressedData(const DataLayout& layout, std::int64_t cluster_size, std::int64_t volume_size,
                         DataWriter& writer) {
    const std::int64_t unit_bytes = SaturatingMul(layout.unit_clusters, cluster_size);
    if (unit_bytes <= 0 || unit_bytes > kMaxUnitBytes) {
        writer.NoteMissing("the file's compression unit is too large to be real");
        writer.Skip(layout.real_size);
        return true;
    }
    std::vector<std::uint8_t> stored;
    std::vector<std::uint8_t> plain;
    std::size_t hint = 0;
    for (std::int64_t unit_start = 0, index = 0; unit_start < layout.real_size; unit_start += unit_bytes, ++index) {
        if (writer.StopRequested()) return false;
        const std::int64_t length = std::min(unit_bytes, layout.real_size - unit_start);
        if (unit_start >= layout.valid_size) {
            writer.Skip(length);
            continue;
        }
        const UnitClusters unit = ClustersOfUnit(layout, hint, index * layout.unit_clusters);
        const std::string which = "compression unit " + std::to_string(index) + " ";
        if (unit.missing || unit.hole_before) {
            writer.NoteMissing(unit.missing ? GapReason(layout, unit_start) : which + "is damaged");
            writer.Skip(length);
            continue;
        }
        if (unit.stored_count == layout.unit_clusters) {
            // The unit did not shrink and is stored as it is.
            for (const ClusterExtent& span : unit.stored) {
                const std::int64_t from = span.vcn * cluster_size;
                const std::int64_t to = std::min(from + span.clusters * cluster_size, unit_start + length);
                if (from >= to) break;
                if (!CopyStored(layout, span, from, to, volume_size, writer)) return false;
            }
            continue;
        }
        if (unit.stored_count == 0) {
            writer.Skip(length);
            continue;
        }
        stored.assign(static_cast<std::size_t>(unit.stored_count * cluster_size), 0);
        std::size_t filled = 0;
        bool read = true;
        for (const ClusterExtent& span : unit.stored) {
            const std::size_t bytes = static_cast<std::size_t>(span.clusters * cluster_size);
            const auto position = layout.map.Position(span, span.vcn * cluster_size);
            read = read && position &&
                   writer.ReadFromVolume(*position, MutableByteSpan(stored.data() + filled, bytes)) == bytes;
            filled += bytes;
        }
        plain.assign(static_cast<std::size_t>(unit_bytes), 0);
        auto decoded =
            read ? DecompressLznt1(stored, plain) : Outcome<std::size_t>(Refusal("its clusters cannot be read"));
        if (!decoded) {
            writer.NoteMissing(which + "cannot be decompressed: " + decoded.reason());
            writer.Skip(length);
            continue;
        }
        const std::int64_t valid = std::min(length, layout.valid_size - unit_start);
        if (!writer.Write(ByteSpan(plain.data(), static_cast<std::size_t>(valid)))) return false;
        writer.Skip(length - valid);
    }
    return true;
}

}  // namespace verandol
