#include "fuzz/attribute_list_entry.h"

#include <algorithm>

#include "fuzz/fuzz_check.h"
#include "ntfs/attribute_list.h"
#include "ntfs/fixups.h"
#include "ntfs/layout.h"
#include "ntfs/listed_attributes.h"
#include "recover/data_layout.h"

namespace verandol::fuzz {

namespace {

using Bytes = std::vector<std::uint8_t>;

void PutLe(Bytes& b, std::size_t offset, std::uint64_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) b[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A 1 KiB deleted record holding `attributes` and an end marker, with its
// two sector ends protected by update sequence number 1.
Bytes MakeRecord(ByteSpan attributes) {
    Bytes r(1024);
    std::copy_n("FILE", 4, r.begin());
    PutLe(r, 4, 48, 2);
    PutLe(r, 6, 3, 2);
    PutLe(r, 20, 56, 2);
    std::copy(attributes.begin(), attributes.end(), r.begin() + 56);
    PutLe(r, 56 + attributes.size(), layout::attr::kEnd, 4);
    PutLe(r, 48, 1, 2);
    for (std::size_t i = 1; i <= 2; ++i) {
        r[48 + 2 * i] = r[i * 512 - 2];
        r[48 + 2 * i + 1] = r[i * 512 - 1];
        PutLe(r, i * 512 - 2, 1, 2);
    }
    return r;
}

constexpr std::int64_t kBase = 5;
constexpr std::size_t kRecordSize = 1024;
// Room for the attribute bytes in a 1 KiB record after its header and update
// sequence array, leaving space for the end marker.
constexpr std::size_t kRoom = kRecordSize - 56 - 8;

// A resident $ATTRIBUTE_LIST holding `value`, padded to 8 bytes.
Bytes AttributeListOf(ByteSpan value) {
    Bytes list(24 + (value.size() + 7) / 8 * 8);
    PutLe(list, layout::attr::kType, layout::attr::kAttributeList, 4);
    PutLe(list, layout::attr::kLength, list.size(), 4);
    PutLe(list, layout::attr::kValueLength, value.size(), 4);
    PutLe(list, layout::attr::kValueOffset, 24, 2);
    std::copy(value.begin(), value.end(), list.begin() + 24);
    return list;
}

}  // namespace

void FuzzAttributeList(ByteSpan input) {
    if (input.empty()) return;
    const std::size_t extensions = input[0] & 7;
    const bool foreign_last = input[0] & 8;
    const ByteSpan rest = input.subspan(1);
    const std::size_t part = rest.size() / (extensions + 1);

    const ParsedAttributeList parsed = ParseAttributeList(rest.subspan(0, std::min(part, kRoom - 24)));
    for (const AttributeListEntry& e : parsed.entries) VERANDOL_FUZZ_CHECK(e.first_vcn >= 0);

    const VolumeGeometry geometry{kRecordSize, 4096, 512, 8};
    Bytes image(64 * 1024);
    const Bytes base = MakeRecord(AttributeListOf(rest.subspan(0, std::min(part, kRoom - 24))));
    std::copy(base.begin(), base.end(), image.begin() + kBase * kRecordSize);
    for (std::size_t i = 0; i < extensions; ++i) {
        const ByteSpan attributes = rest.subspan((i + 1) * part, std::min(part, kRoom));
        Bytes record = MakeRecord(attributes);
        const bool foreign = foreign_last && i + 1 == extensions;
        PutLe(record, layout::record::kBaseRecord, static_cast<std::uint64_t>(foreign ? kBase + 1 : kBase), 8);
        std::copy(record.begin(), record.end(),
                  image.begin() + static_cast<std::ptrdiff_t>((kBase + 1 + i) * kRecordSize));
    }
    MemoryVolume volume(std::move(image));
    const MftMap map({Run{16, 0, false, true}}, geometry.ClusterSize, geometry.RecordSize);
    std::vector<std::uint8_t> record(kRecordSize);
    VERANDOL_FUZZ_CHECK(map.ReadRecord(volume, kBase, record).has_value());
    VERANDOL_FUZZ_CHECK(ApplyFixups(record));

    const ListedAttributes found =
        GatherListedAttributes(volume, map, geometry, record, kBase, DataPieces::All);
    std::vector<ByteSpan> pieces;
    for (std::size_t i = 0; i < found.data.size(); ++i) {
        const DataPiece& piece = found.data[i];
        VERANDOL_FUZZ_CHECK(read_le32(piece.attribute, 0) == layout::attr::kData);
        if (i > 0) VERANDOL_FUZZ_CHECK(found.data[i - 1].first_vcn <= piece.first_vcn);
        pieces.push_back(piece.attribute);
    }
    if (found.file_name.empty() == false)
        VERANDOL_FUZZ_CHECK(read_le32(found.file_name, 0) == layout::attr::kFileName);
    if (pieces.empty() || found.data.front().first_vcn != 0) return;
    const auto built = BuildDataLayout(pieces, geometry.ClusterSize);
    if (!built) return;
    std::int64_t end = 0;
    for (const ClusterExtent& span : built->map.Extents()) {
        VERANDOL_FUZZ_CHECK(span.vcn >= end && span.clusters > 0);
        end = span.vcn + span.clusters;
    }
    VERANDOL_FUZZ_CHECK(built->valid_size >= 0 && built->valid_size <= built->real_size);
}

}  // namespace verandol::fuzz
