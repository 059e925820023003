#include "recover/row_start.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "disk/offset_view.h"
#include "recover/data_writer.h"
#include "recover/record_data.h"
#include "text/record_texts.h"

namespace verandol {

namespace {

// The first `limit` bytes of a file, wherever the writer puts them.
class MemorySink : public DataSink {
public:
    explicit MemorySink(std::size_t limit) : limit_(limit) {}

    bool WriteAt(std::int64_t offset, ByteSpan bytes) override {
        if (offset < 0 || static_cast<std::uint64_t>(offset) >= limit_) return true;
        const auto at = static_cast<std::size_t>(offset);
        const std::size_t kept = std::min(bytes.size(), limit_ - at);
        if (bytes_.size() < at + kept) bytes_.resize(at + kept);
        if (kept > 0) std::memcpy(bytes_.data() + at, bytes.data(), kept);
        return true;
    }

    // The bytes written, with the zeros of what was skipped up to `length`.
    std::vector<std::uint8_t> Take(std::int64_t length) {
        bytes_.resize(std::min(limit_, static_cast<std::size_t>(std::max<std::int64_t>(length, 0))));
        return std::move(bytes_);
    }

private:
    std::size_t limit_;
    std::vector<std::uint8_t> bytes_;
};

std::int64_t AsLength(std::size_t limit) {
    return static_cast<std::int64_t>(std::min<std::size_t>(limit, INT64_MAX));
}

// The writer's result as the start of a file of `size` bytes.
RowStart Finish(DataWriter& writer, MemorySink& sink, std::int64_t size, std::size_t limit) {
    RowStart start;
    start.size = size;
    start.bytes = sink.Take(std::min(size, AsLength(limit)));
    start.missing = writer.Missing();
    return start;
}

RowStart Refused(std::string why) {
    RowStart start;
    start.refusal = std::move(why);
    return start;
}

RowStart StartOfRecord(ByteSource& volume, const MftMap& map, ByteSpan record, std::optional<std::int64_t> index,
                       const VolumeGeometry& geometry, std::size_t limit, const std::atomic<bool>* stop,
                       std::string_view stream = {}) {
    auto data = ReadRecordData(volume, map, record, index, geometry, stream);
    if (!data) return Refused(data.reason());
    MemorySink sink(limit);
    DataWriter writer(volume, sink, stop);
    writer.EndAfter(AsLength(limit));
    StreamRecordData(*data, geometry.ClusterSize, volume.Size(), writer);
    return Finish(writer, sink, data->real_size, limit);
}

}  // namespace

RowStart ReadRowStart(ByteSource& volume, const PublishedGeometry& source, const RecoveryRequest& row,
                      std::size_t limit, const std::atomic<bool>* stop) {
    if (row.carved) {
        const CarvedExtent& extent = *row.carved;
        // A file found in two pieces is read piece after piece, as recovered.
        const CarvedPieces pieces = PiecesOf(extent);
        for (const CarvedPiece& piece : {pieces.first, pieces.second})
            if (piece.position < 0 || piece.length < 0 || piece.position > volume.Size() ||
                piece.length > volume.Size() - piece.position)
                return Refused("the carved bytes lie outside the volume");
        MemorySink sink(limit);
        DataWriter writer(volume, sink, stop);
        const std::int64_t first = std::min(pieces.first.length, AsLength(limit));
        if (writer.CopyFromVolume(pieces.first.position, first) && first < AsLength(limit))
            writer.CopyFromVolume(pieces.second.position, std::min(pieces.second.length, AsLength(limit) - first));
        return Finish(writer, sink, extent.length, limit);
    }
    // "0x4C00:ADS" names the stream ADS of the file at 0x4C00.
    const auto [record_text, stream] = SplitStreamPosition(row.position_text);
    auto position = ParseRowPosition(record_text);
    if (!position) return Refused(position.reason());
    if (row.found) {
        auto record = ReadFoundRecord(volume, *position, *row.found);
        if (!record) return Refused(record.reason());
        // The record's own volume, seen from its cluster 0.
        std::shared_ptr<ByteSource> shared(&volume, [](ByteSource*) {});
        OffsetView own(shared, row.found->origin, volume.Size() - row.found->origin);
        const MftMap map = FoundMftMap(*row.found, volume.Size());
        return StartOfRecord(own, map, *record, map.IndexAt(*position - row.found->origin), row.found->geometry, limit,
                             stop);
    }
    const VolumeGeometry& geometry = source.geometry;
    if (geometry.RecordSize == 0 || geometry.ClusterSize == 0) return Refused("no volume has been scanned");
    const MftMap map(source.mft_runs, geometry.ClusterSize, geometry.RecordSize);
    // A file still in use is shown as readily as a deleted one.
    auto listed = ReadListedRecord(volume, map, *position, geometry, true);
    if (!listed) return Refused(listed.reason());
    return StartOfRecord(volume, map, listed->record, listed->index, geometry, limit, stop, stream);
}

}  // namespace verandol
