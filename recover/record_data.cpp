#include "recover/record_data.h"

#include <string>

#include "ntfs/attributes.h"
#include "ntfs/fixups.h"
#include "ntfs/layout.h"
#include "ntfs/listed_attributes.h"
#include "recover/data_streaming.h"
#include "text/record_texts.h"

namespace verandol {

namespace {

// The named data stream `stream` (UTF-8) of the record, when the record
// itself holds it.
ByteSpan FindStream(ByteSpan record, std::string_view stream) {
    for (const ByteSpan data : NamedAttributes(record, layout::attr::kData)) {
        const std::optional<std::u16string> name = ReadAttributeName(data);
        if (name && Utf16ToUtf8(*name) == stream) return data;
    }
    return {};
}

// The file's $DATA (or its named stream `stream`): the record's own, or
// every piece its attribute list leads to. `missing` says which piece could
// not be had.
Outcome<std::vector<std::vector<std::uint8_t>>> FindDataPieces(ByteSource& volume, const MftMap& map,
                                                               const VolumeGeometry& geometry, ByteSpan record,
                                                               std::optional<std::int64_t> index,
                                                               std::string_view stream, std::string& missing) {
    if (!stream.empty()) {
        // Only the file's own data is followed through an attribute list.
        const ByteSpan data = FindStream(record, stream);
        if (data.empty()) return Refusal(std::string("the record has no data stream named ").append(stream));
        return std::vector<std::vector<std::uint8_t>>{{data.begin(), data.end()}};
    }
    if (!HasAttributeList(record)) {
        const ByteSpan data = FindAttribute(record, layout::attr::kData, false);
        if (data.empty()) return Refusal("the record has no data attribute");
        return std::vector<std::vector<std::uint8_t>>{{data.begin(), data.end()}};
    }
    if (!index) return Refusal("the record's attribute list cannot be followed without the MFT's map");
    ListedAttributes found = GatherListedAttributes(volume, map, geometry, record, *index, DataPieces::All);
    missing = found.reason;
    if (found.data.empty() || found.data.front().first_vcn != 0)
        return Refusal(missing.empty() ? "the record's attribute list leads to no data" : missing);
    std::vector<std::vector<std::uint8_t>> pieces;
    for (DataPiece& piece : found.data) pieces.push_back(std::move(piece.attribute));
    return pieces;
}

}  // namespace

Outcome<std::int64_t> ParseRowPosition(std::string_view position_text) {
    auto position = ParsePositionCaption(position_text);
    // Appended, not prefixed: g++ 12 at -O3 takes `"literal" + string` for an
    // overlapping copy and warns.
    if (!position) return Refusal(std::string(1, '"').append(position_text).append("\" is not a record position"));
    return *position;
}

Outcome<ListedRecord> ReadListedRecord(ByteSource& volume, const MftMap& map, std::int64_t position,
                                       const VolumeGeometry& geometry, bool in_use_too) {
    if (geometry.RecordSize == 0 || geometry.ClusterSize == 0) return Refusal("no volume has been scanned");
    ListedRecord listed;
    listed.record.resize(geometry.RecordSize);
    // A record may straddle two extents of the MFT: read through its map.
    listed.index = map.IndexAt(position);
    const bool read = listed.index ? map.ReadRecord(volume, *listed.index, listed.record).has_value()
                                   : volume.ReadAt(position, listed.record) == listed.record.size();
    if (!read) return Refusal("the record could not be read");
    if (!ApplyFixups(listed.record)) return Refusal("the record is no longer a valid file record");
    listed.in_use = in_use_too && IsFileInUseRecord(listed.record);
    if (!IsDeletedFileRecord(listed.record) && !listed.in_use)
        return Refusal(in_use_too ? "the record is a directory or is no longer a file record"
                                  : "the record is in use again or is a directory");
    return listed;
}

Outcome<std::vector<std::uint8_t>> ReadFoundRecord(ByteSource& volume, std::int64_t position,
                                                   const FoundGeometry& found) {
    const VolumeGeometry& geometry = found.geometry;
    if (geometry.RecordSize == 0 || geometry.ClusterSize == 0 || found.origin < 0)
        return Refusal("the record's volume is not known");
    std::vector<std::uint8_t> record(geometry.RecordSize);
    if (volume.ReadAt(position, record) != record.size()) return Refusal("the record could not be read");
    if (!ApplyFixups(record)) return Refusal("the record is no longer a valid file record");
    const std::uint16_t flags = read_le16(record, layout::record::kFlags).value_or(0xFFFF);
    if ((flags & ~layout::record::kFlagInUse) != 0) return Refusal("the record is a directory");
    // Data inside the record is the same wherever its volume began; data in
    // clusters is not.
    if (!found.placed && (HasAttributeList(record) || IsNonResident(FindAttribute(record, layout::attr::kData, false))))
        return Refusal("the volume this record belongs to could not be placed on the device");
    return record;
}

Outcome<RecordData> ReadRecordData(ByteSource& volume, const MftMap& map, ByteSpan record,
                                   std::optional<std::int64_t> index, const VolumeGeometry& geometry,
                                   std::string_view stream) {
    if (IsExtensionRecord(record)) return Refusal("the record is part of another file's record");
    std::string missing_piece;
    auto pieces = FindDataPieces(volume, map, geometry, record, index, stream, missing_piece);
    if (!pieces) return Refusal(pieces.reason());
    RecordData data;
    data.pieces = std::move(*pieces);
    const ByteSpan first = data.pieces.front();
    // Without its owner's key the ciphertext is worth nothing under the file's name.
    if (read_le16(first, layout::attr::kFlags).value_or(0) & layout::attr::kFlagEncrypted)
        return Refusal("the file is encrypted; its contents cannot be read without its owner's key");
    if (IsNonResident(first)) {
        auto built = BuildDataLayout(data.Spans(), geometry.ClusterSize);
        if (!built) return Refusal(built.reason());
        data.layout = std::move(*built);
        if (!missing_piece.empty()) data.layout->gap_reason = missing_piece;
        data.real_size = data.layout->real_size;
    } else {
        const std::optional<ByteSpan> resident = ResidentValue(first);
        if (!resident) return Refusal("the data attribute is cut short");
        data.real_size = static_cast<std::int64_t>(resident->size());
    }
    return data;
}

bool StreamRecordData(const RecordData& data, std::int64_t cluster_size, std::int64_t volume_size,
                      DataWriter& writer) {
    if (data.layout)
        return data.layout->unit_clusters ? WriteCompressedData(*data.layout, cluster_size, volume_size, writer)
                                          : WriteStoredData(*data.layout, cluster_size, volume_size, writer);
    const ByteSpan first = data.pieces.front();
    const std::optional<ByteSpan> resident = ResidentValue(first);
    if (!resident) return false;
    if (read_le32(first, layout::attr::kValueLength).value_or(0) > resident->size())
        writer.NoteMissing("the file's bytes run past the end of its record");
    return writer.Write(*resident);
}

}  // namespace verandol
