#include "scan/row_details.h"

#include "ntfs/attributes.h"
#include "ntfs/checked_math.h"
#include "ntfs/fixups.h"
#include "ntfs/layout.h"

namespace verandol {

std::optional<BitmapExtent> ReadVolumeBitmap(MftRecordReader& reader, const VolumeGeometry& geometry) {
    std::vector<std::uint8_t> record(geometry.RecordSize);
    if (!reader.Read(kBitmapRecord, record) || !ApplyFixups(record)) return std::nullopt;
    Outcome<BitmapExtent> extent = ReadBitmapExtent(record);
    if (!extent) return std::nullopt;
    return std::move(*extent);
}

RowDetails::RowDetails(ByteSource& volume, const VolumeGeometry& geometry,
                       const std::optional<BitmapExtent>& bitmap)
    : cluster_size_(geometry.ClusterSize) {
    if (bitmap) bitmap_.emplace(volume, geometry.ClusterSize, *bitmap);
}

void RowDetails::NoteFolder(std::int64_t record_number, MutableByteSpan record) {
    if (ApplyFixups(record)) folders_.NoteFolder(record_number, record);
}

namespace {

// A file in use owns the clusters the bitmap marks: all of it is there.
bool CompletedInUse(DeletedFileRow& row) {
    if (row.deleted) return false;
    row.recoverable = 100;
    return true;
}

}  // namespace

void RowDetails::Claim(const DeletedFileRow& row, const std::vector<ByteSpan>& data) {
    if (!row.deleted || data.empty() || !IsNonResident(data.front())) return;
    const auto runs = ClusterBitmap::RunsOfPieces(data);
    if (!runs) return;
    for (const Run& run : runs->runs) {
        std::int64_t position, length;
        if (run.sparse || !run.valid || run.clusters > static_cast<std::uint64_t>(INT64_MAX) ||
            MulOverflows(run.lcn, cluster_size_, position) ||
            MulOverflows(static_cast<std::int64_t>(run.clusters), cluster_size_, length))
            continue;
        claimed_.Add({position, length});
    }
}

void RowDetails::Complete(DeletedFileRow& row, ByteSpan data) {
    parents_.push_back(row.parent_reference);
    Claim(row, {data});
    if (CompletedInUse(row) || !bitmap_) return;
    if (auto use = bitmap_->CountForData(data))
        row.recoverable = FreeSharePercent(*use);
}

void RowDetails::Complete(DeletedFileRow& row, const std::vector<DataPiece>& pieces) {
    parents_.push_back(row.parent_reference);
    std::vector<ByteSpan> spans;
    spans.reserve(pieces.size());
    for (const DataPiece& piece : pieces) spans.emplace_back(piece.attribute);
    Claim(row, spans);
    if (CompletedInUse(row) || !bitmap_) return;
    if (auto use = bitmap_->CountForPieces(spans)) row.recoverable = FreeSharePercent(*use);
}

std::vector<std::string> RowDetails::TakeFolders() {
    std::vector<std::string> paths;
    paths.reserve(parents_.size());
    // Files of one folder tend to sit side by side in the MFT.
    std::uint64_t last = 0;
    for (std::uint64_t parent : parents_) {
        if (paths.empty() || parent != last) paths.push_back(folders_.PathOf(parent));
        else paths.push_back(paths.back());
        last = parent;
    }
    parents_.clear();
    return paths;
}

}  // namespace verandol
