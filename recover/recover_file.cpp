#include "recover/recover_file.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "disk/offset_view.h"
#include "disk/open_volume.h"
#include "ntfs/attributes.h"
#include "ntfs/fixups.h"
#include "ntfs/layout.h"
#include "ntfs/listed_attributes.h"
#include "ntfs/mft_map.h"
#include "ntfs/record_times.h"
#include "text/record_texts.h"
#include "recover/cluster_reuse_check.h"
#include "recover/data_layout.h"
#include "recover/data_streaming.h"
#include "recover/data_writer.h"
#include "recover/temporary_output.h"

namespace verandol {

namespace {

RecoverResult NotWritten(std::string reason) { return {RecoverStatus::NotWritten, std::move(reason)}; }

// The record at `position`, read through the MFT's map when the position is
// one of its records (a record may straddle two extents), else as one
// stretch. `index` is set when the map knows the record.
bool ReadRecordAt(ByteSource& volume, const MftMap& map, std::int64_t position, std::vector<std::uint8_t>& record,
                  std::optional<std::int64_t>& index) {
    index = map.IndexAt(position);
    if (index) return map.ReadRecord(volume, *index, record).has_value();
    return volume.ReadAt(position, record) == record.size();
}

// The file's $DATA: the record's own, or every piece its attribute list
// leads to. `missing` says which piece could not be had.
// The named data stream `stream` (UTF-8) of the record, when the record
// itself holds it.
ByteSpan FindStream(ByteSpan record, std::string_view stream) {
    for (const ByteSpan data : NamedAttributes(record, layout::attr::kData)) {
        const std::optional<std::u16string> name = ReadAttributeName(data);
        if (name && Utf16ToUtf8(*name) == stream) return data;
    }
    return {};
}

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

namespace {

// The file's data once its record has been read and accepted: resident, or
// along its run list (and its attribute list's pieces), from `volume`. `judge`
// turns a written result Incomplete when other files took its clusters.
using ReuseJudge = std::function<RecoverResult(RecoverResult, const std::vector<ByteSpan>&)>;

RecoverResult RecoverRecord(ByteSource& volume, const MftMap& map, ByteSpan record, std::optional<std::int64_t> index,
                            const VolumeGeometry& geometry, const std::string& output_path,
                            const std::atomic<bool>* stop, const ReuseJudge& judge, bool keep_times,
                            std::string_view stream) {
    if (IsExtensionRecord(record)) return NotWritten("the record is part of another file's record");
    std::string missing_piece;
    auto pieces = FindDataPieces(volume, map, geometry, record, index, stream, missing_piece);
    if (!pieces) return NotWritten(pieces.reason());
    const std::vector<ByteSpan> spans(pieces->begin(), pieces->end());
    const ByteSpan data = spans.front();
    // Without its owner's key the ciphertext is worth nothing under the file's name.
    if (read_le16(data, layout::attr::kFlags).value_or(0) & layout::attr::kFlagEncrypted)
        return NotWritten("the file is encrypted; its contents cannot be read without its owner's key");

    std::optional<DataLayout> layout;
    std::optional<ByteSpan> resident;
    if (IsNonResident(data)) {
        auto built = BuildDataLayout(spans, geometry.ClusterSize);
        if (!built) return NotWritten(built.reason());
        layout = std::move(*built);
        if (!missing_piece.empty()) layout->gap_reason = missing_piece;
    } else {
        resident = ResidentValue(data);
        if (!resident) return NotWritten("the data attribute is cut short");
    }

    TemporaryOutput out(output_path);
    if (!out.IsOpen()) return NotWritten(out.Error());
    DataWriter writer(volume, out, stop);
    bool ok;
    std::int64_t length;
    if (layout) {
        ok = layout->unit_clusters ? WriteCompressedData(*layout, geometry.ClusterSize, volume.Size(), writer)
                                   : WriteStoredData(*layout, geometry.ClusterSize, volume.Size(), writer);
        length = layout->real_size;
    } else {
        ok = writer.Write(*resident);
        if (*read_le32(data, layout::attr::kValueLength) > resident->size())
            writer.NoteMissing("the file's bytes run past the end of its record");
        length = static_cast<std::int64_t>(resident->size());
    }
    if (writer.Stopped()) return NotWritten("stopped");
    if (!ok || !out.Resize(length)) return NotWritten(out.Error());
    // Times a file system cannot hold (a FAT stick's before 1980) do not
    // cost the file its data: they are left as the write made them.
    if (keep_times) static_cast<void>(out.SetTimes(OutputTimesOf(ReadRecordTimes(record))));
    if (!out.Commit()) return NotWritten(out.Error());
    const std::string missing = writer.Missing();
    RecoverResult result{missing.empty() ? RecoverStatus::Written : RecoverStatus::Incomplete, missing,
                         writer.Unread()};
    return judge(std::move(result), spans);
}

std::optional<std::int64_t> PositionOf(std::string_view position_text, std::string& refusal) {
    auto position = ParsePositionCaption(position_text);
    // Appended, not prefixed: g++ 12 at -O3 takes `"literal" + string` for an
    // overlapping copy and warns.
    if (!position) refusal = std::string(1, '"').append(position_text).append("\" is not a record position");
    return position;
}

}  // namespace

RecoverResult RecoverFile(ByteSource& volume, std::string_view position_text, const VolumeGeometry& geometry,
                          const std::vector<Run>& mft_runs, const std::string& output_path,
                          const std::atomic<bool>* stop, const BitmapExtent* bitmap, bool in_use_too,
                          bool bitmap_required, bool keep_times) {
    std::string refusal;
    // "0x4C00:ADS" names the stream ADS of the file at 0x4C00.
    const auto [record_text, stream] = SplitStreamPosition(position_text);
    auto position = PositionOf(record_text, refusal);
    if (!position) return NotWritten(refusal);
    if (geometry.RecordSize == 0 || geometry.ClusterSize == 0) return NotWritten("no volume has been scanned");

    const MftMap map(mft_runs, geometry.ClusterSize, geometry.RecordSize);
    std::vector<std::uint8_t> record(geometry.RecordSize);
    std::optional<std::int64_t> index;
    if (!ReadRecordAt(volume, map, *position, record, index)) return NotWritten("the record could not be read");
    if (!ApplyFixups(record)) return NotWritten("the record is no longer a valid file record");
    const bool in_use = in_use_too && IsFileInUseRecord(record);
    if (!IsDeletedFileRecord(record) && !in_use)
        return NotWritten(in_use_too ? "the record is a directory or is no longer a file record"
                                     : "the record is in use again or is a directory");
    return RecoverRecord(volume, map, record, index, geometry, output_path, stop,
                         [&](RecoverResult result, const std::vector<ByteSpan>& spans) {
                             // A file in use owns the clusters the bitmap marks as taken.
                             if (in_use) return result;
                             return bitmap_required
                                        ? WithRequiredClusterJudgement(std::move(result), volume, spans, geometry, bitmap)
                                        : WithClusterReuseNote(std::move(result), volume, spans, geometry, bitmap);
                         },
                         keep_times, stream);
}

RecoverResult RecoverFoundFile(ByteSource& volume, std::string_view position_text, const FoundGeometry& found,
                               const std::string& output_path, const std::atomic<bool>* stop, bool keep_times) {
    std::string refusal;
    auto position = PositionOf(position_text, refusal);
    if (!position) return NotWritten(refusal);
    const VolumeGeometry& geometry = found.geometry;
    if (geometry.RecordSize == 0 || geometry.ClusterSize == 0 || found.origin < 0)
        return NotWritten("the record's volume is not known");
    std::vector<std::uint8_t> record(geometry.RecordSize);
    if (volume.ReadAt(*position, record) != record.size()) return NotWritten("the record could not be read");
    if (!ApplyFixups(record)) return NotWritten("the record is no longer a valid file record");
    const std::uint16_t flags = read_le16(record, layout::record::kFlags).value_or(0xFFFF);
    if ((flags & ~layout::record::kFlagInUse) != 0) return NotWritten("the record is a directory");
    // Data inside the record is the same wherever its volume began; data in
    // clusters is not.
    if (!found.placed && (HasAttributeList(record) || IsNonResident(FindAttribute(record, layout::attr::kData, false))))
        return NotWritten("the volume this record belongs to could not be placed on the device");

    // The record's own volume, seen from its cluster 0.
    std::shared_ptr<ByteSource> shared(&volume, [](ByteSource*) {});
    OffsetView own(shared, found.origin, volume.Size() - found.origin);
    const MftMap map = FoundMftMap(found, volume.Size());
    const std::optional<std::int64_t> index = map.IndexAt(*position - found.origin);
    return RecoverRecord(own, map, record, index, geometry, output_path, stop,
                         [&](RecoverResult result, const std::vector<ByteSpan>& spans) {
                             return WithFoundClusterJudgement(std::move(result), volume, spans, found);
                         },
                         keep_times, {});
}

RecoverResult RecoverFile(const std::string& volume_path, std::string_view position_text,
                          const VolumeGeometry& geometry, const std::vector<Run>& mft_runs,
                          const std::string& output_path, const std::atomic<bool>* stop,
                          const BitmapExtent* bitmap, bool in_use_too, bool bitmap_required, bool keep_times) {
    Outcome<OpenedVolume> volume = OpenVolume(volume_path);
    if (!volume) return NotWritten(volume.reason());
    return RecoverFile(*volume->source, position_text, geometry, mft_runs, output_path, stop, bitmap, in_use_too,
                       bitmap_required, keep_times);
}

}  // namespace verandol
