#include "ntfs/listed_attributes.h"

#include <algorithm>
#include <optional>

#include "ntfs/attribute_list.h"
#include "ntfs/attributes.h"
#include "ntfs/cluster_map.h"
#include "ntfs/fixups.h"
#include "ntfs/layout.h"
#include "ntfs/outcome.h"
#include "ntfs/run_list.h"

namespace verandol {

namespace at = layout::attr;
namespace fn = layout::file_name;

bool HasAttributeList(ByteSpan record) { return !FindAttribute(record, at::kAttributeList, false).empty(); }

bool IsExtensionRecord(ByteSpan record) {
    auto base = read_le64(record, layout::record::kBaseRecord);
    return base && (*base & layout::kReferenceRecordMask) != 0;
}

namespace {

// The list's value: resident, or read along its own run list.
Outcome<std::vector<std::uint8_t>> ReadListValue(ByteSource& volume, const VolumeGeometry& geometry, ByteSpan list) {
    if (!IsNonResident(list)) {
        auto value = ResidentValue(list);
        if (!value) return Refusal("the attribute list is cut short");
        return std::vector<std::uint8_t>(value->begin(), value->end());
    }
    auto extent = ReadNonResidentExtent(list);
    auto runs = extent ? ReadRunList(list, *extent) : std::nullopt;
    if (!runs) return Refusal("the attribute list's header is damaged");
    if (extent->real_size < 0 || static_cast<std::uint64_t>(extent->real_size) > layout::attr_list::kMaxListBytes)
        return Refusal("the attribute list claims an impossible size");
    std::vector<std::uint8_t> value(static_cast<std::size_t>(extent->real_size));
    const ClusterMap map = ClusterMap::FromRuns(runs->runs, static_cast<std::int64_t>(geometry.ClusterSize));
    switch (map.Read(volume, 0, value, ClusterMap::Holes::Zeros).stop) {
        case ClusterMap::Gathered::Stop::Complete: return value;
        case ClusterMap::Gathered::Stop::Unmapped: return Refusal("the attribute list's runs end before the list does");
        default: return Refusal("the attribute list's clusters cannot be read");
    }
}

// Fetches the records a list points to, keeping the last one read.
class RecordFetcher {
public:
    RecordFetcher(ByteSource& volume, const MftMap& map, const VolumeGeometry& geometry, ByteSpan base,
                  std::int64_t base_index)
        : volume_(volume), map_(map), base_(base), base_index_(base_index), buffer_(geometry.RecordSize) {}

    // The record of `entry`, or why it cannot serve.
    Outcome<ByteSpan> Fetch(const AttributeListEntry& entry) {
        if (entry.record == static_cast<std::uint64_t>(base_index_)) return base_;
        if (entry.record > static_cast<std::uint64_t>(INT64_MAX)) return Refusal("it names an impossible record");
        const auto index = static_cast<std::int64_t>(entry.record);
        if (index != held_) {
            held_ = -1;
            if (!map_.ReadRecord(volume_, index, buffer_)) return Refused(index, "cannot be read");
            if (!ApplyFixups(buffer_)) return Refused(index, "is no longer a valid file record");
            held_ = index;
        }
        const std::uint64_t base = *read_le64(buffer_, layout::record::kBaseRecord);
        if ((base & layout::kReferenceRecordMask) != static_cast<std::uint64_t>(base_index_))
            return Refused(index, "now belongs to another file");
        // The base reference names the file by its sequence number too: the
        // base's own while it is in use, the one before once it was freed.
        // Another number is another file that had the base's record.
        const auto owner = static_cast<std::uint16_t>(base >> 48);
        const std::uint16_t base_sequence = read_le16(base_, layout::record::kSequenceNumber).value_or(0);
        const std::uint16_t freed_from = base_sequence == 1 ? 0xFFFF : static_cast<std::uint16_t>(base_sequence - 1);
        if (owner != 0 && base_sequence != 0 && owner != base_sequence && owner != freed_from)
            return Refused(index, "belongs to another file that had the same base record");
        // The driver steps a record's sequence number when it frees it, so a
        // piece of a deleted file carries the listed number or the one after.
        const std::uint16_t sequence = *read_le16(buffer_, layout::record::kSequenceNumber);
        const std::uint16_t next = entry.sequence == 0xFFFF ? 1 : static_cast<std::uint16_t>(entry.sequence + 1);
        if (entry.sequence != 0 && sequence != entry.sequence && sequence != next)
            return Refused(index, "has been reused since the list was written");
        return ByteSpan(buffer_);
    }

private:
    static Refusal Refused(std::int64_t index, const char* what) {
        return Refusal("record " + std::to_string(index) + " " + what);
    }

    ByteSource& volume_;
    const MftMap& map_;
    ByteSpan base_;
    std::int64_t base_index_;
    std::vector<std::uint8_t> buffer_;
    std::int64_t held_ = -1;
};

std::int64_t LastVcn(const DataPiece& piece) {
    if (!IsNonResident(piece.attribute)) return 0;
    return read_sle64(piece.attribute, at::kLastVcn).value_or(piece.first_vcn);
}

// When ntfs-3g deletes a file it drops entries from the end of the list as
// it frees the extension records, yet the records keep their piece and their
// base reference. A piece the list no longer names is looked for among the
// records that follow the base, where the driver allocates them.
void FindUnlistedPieces(RecordFetcher& fetcher, const VolumeGeometry& geometry, std::int64_t base_index,
                        std::int64_t search_end, ListedAttributes& found) {
    const ByteSpan first = found.data.front().attribute;
    if (!IsNonResident(first)) return;
    const std::int64_t allocated = read_sle64(first, at::kAllocatedSize).value_or(0);
    if (allocated <= 0) return;
    const std::int64_t clusters = allocated / geometry.ClusterSize;
    // Each round either places a piece, which covers `next`, or moves
    // `from` past a gap no record fills, so the search ends.
    std::int64_t from = 0;
    for (;;) {
        std::int64_t next = from;
        std::size_t at = 0;
        for (; at < found.data.size() && found.data[at].first_vcn <= next; ++at)
            next = std::max(next, std::min(LastVcn(found.data[at]), clusters) + 1);
        if (next >= clusters) return;
        bool placed = false;
        for (std::int64_t i = base_index + 1; i < search_end && !placed; ++i) {
            AttributeListEntry entry;
            entry.record = static_cast<std::uint64_t>(i);
            auto record = fetcher.Fetch(entry);
            if (!record) continue;
            const ByteSpan data = FindAttribute(*record, at::kData, false);
            if (data.empty() || !IsNonResident(data) || read_le8(data, at::kNameLength) != std::uint8_t{0} ||
                read_sle64(data, at::kFirstVcn) != next || read_sle64(data, at::kLastVcn).value_or(-1) < next)
                continue;
            found.data.insert(found.data.begin() + static_cast<std::ptrdiff_t>(at),
                              {next, std::vector<std::uint8_t>(data.begin(), data.end())});
            placed = true;
        }
        if (placed) continue;
        if (at >= found.data.size()) return;
        from = found.data[at].first_vcn;
    }
}

bool IsLongName(ByteSpan file_name) {
    auto name_space = read_le8(file_name, fn::kNamespace);
    return name_space && (*name_space == fn::kNamespacePosix || *name_space == fn::kNamespaceWin32 ||
                          *name_space == fn::kNamespaceWin32AndDos);
}

}  // namespace

ListedAttributes GatherListedAttributes(ByteSource& volume, const MftMap& map, const VolumeGeometry& geometry,
                                        ByteSpan base, std::int64_t base_index, DataPieces pieces) {
    ListedAttributes found;
    const auto note = [&](std::string why) {
        if (found.reason.empty()) found.reason = std::move(why);
    };
    const ByteSpan list = FindAttribute(base, at::kAttributeList, false);
    if (list.empty() || geometry.RecordSize == 0 || geometry.ClusterSize == 0) return found;
    auto value = ReadListValue(volume, geometry, list);
    if (!value) {
        note(value.reason());
        return found;
    }
    ParsedAttributeList parsed = ParseAttributeList(*value);
    if (!parsed.reason.empty()) note(parsed.reason);
    RecordFetcher fetcher(volume, map, geometry, base, base_index);

    for (const AttributeListEntry& entry : parsed.entries) {
        if (entry.type != at::kFileName) continue;
        auto record = fetcher.Fetch(entry);
        if (!record) continue;
        const ByteSpan name = FindAttributeWithId(*record, at::kFileName, entry.attribute_id);
        if (!name.empty() && IsLongName(name)) {
            found.file_name.assign(name.begin(), name.end());
            break;
        }
    }

    std::vector<AttributeListEntry> data;
    for (const AttributeListEntry& entry : parsed.entries)
        if (entry.type == at::kData && entry.name_length == 0) data.push_back(entry);
    std::stable_sort(data.begin(), data.end(), [](const auto& a, const auto& b) { return a.first_vcn < b.first_vcn; });
    for (const AttributeListEntry& entry : data) {
        if (pieces == DataPieces::First && entry.first_vcn != 0) break;
        const std::string from = "the data from cluster " + std::to_string(entry.first_vcn) + " is missing: ";
        auto record = fetcher.Fetch(entry);
        if (!record) {
            note(from + record.reason());
            continue;
        }
        const ByteSpan attribute = FindAttributeWithId(*record, at::kData, entry.attribute_id);
        if (attribute.empty() || read_le8(attribute, at::kNameLength) != std::uint8_t{0}) {
            note(from + "its record no longer holds it");
            continue;
        }
        const std::int64_t first_vcn = IsNonResident(attribute) ? read_sle64(attribute, at::kFirstVcn).value_or(-1) : 0;
        if (first_vcn != entry.first_vcn) {
            note(from + "its record holds another part");
            continue;
        }
        found.data.push_back({entry.first_vcn, std::vector<std::uint8_t>(attribute.begin(), attribute.end())});
    }
    if (pieces == DataPieces::All && !found.data.empty() && found.data.front().first_vcn == 0) {
        std::int64_t highest = base_index;
        for (const AttributeListEntry& entry : parsed.entries)
            if (entry.record < static_cast<std::uint64_t>(INT64_MAX / 2))
                highest = std::max(highest, static_cast<std::int64_t>(entry.record));
        const std::int64_t search_end = std::max(base_index, std::min(highest, base_index + 256)) + 64;
        FindUnlistedPieces(fetcher, geometry, base_index, search_end, found);
    }
    return found;
}

}  // namespace verandol
