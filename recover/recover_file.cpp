#include "recover/recover_file.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "disk/offset_view.h"
#include "disk/open_volume.h"
#include "ntfs/mft_map.h"
#include "ntfs/record_times.h"
#include "recover/cluster_reuse_check.h"
#include "recover/data_writer.h"
#include "recover/record_data.h"
#include "recover/temporary_output.h"
#include "text/record_texts.h"

namespace verandol {

namespace {

RecoverResult NotWritten(std::string reason) { return {RecoverStatus::NotWritten, std::move(reason)}; }

// The file's data once its record has been read and accepted: resident, or
// along its run list (and its attribute list's pieces), from `volume`. `judge`
// turns a written result Incomplete when other files took its clusters.
using ReuseJudge = std::function<RecoverResult(RecoverResult, const std::vector<ByteSpan>&)>;

RecoverResult RecoverRecord(ByteSource& volume, const MftMap& map, ByteSpan record, std::optional<std::int64_t> index,
                            const VolumeGeometry& geometry, const std::string& output_path,
                            const std::atomic<bool>* stop, const ReuseJudge& judge, bool keep_times,
                            std::string_view stream) {
    auto data = ReadRecordData(volume, map, record, index, geometry, stream);
    if (!data) return NotWritten(data.reason());
    TemporaryOutput out(output_path);
    if (!out.IsOpen()) return NotWritten(out.Error());
    DataWriter writer(volume, out, stop);
    const bool ok = StreamRecordData(*data, geometry.ClusterSize, volume.Size(), writer);
    if (writer.Stopped()) return NotWritten("stopped");
    if (!ok || !out.Resize(data->real_size)) return NotWritten(out.Error());
    // Times a file system cannot hold (a FAT stick's before 1980) do not
    // cost the file its data: they are left as the write made them.
    if (keep_times) static_cast<void>(out.SetTimes(OutputTimesOf(ReadRecordTimes(record))));
    if (!out.Commit()) return NotWritten(out.Error());
    const std::string missing = writer.Missing();
    RecoverResult result{missing.empty() ? RecoverStatus::Written : RecoverStatus::Incomplete, missing,
                         writer.Unread()};
    return judge(std::move(result), data->Spans());
}

}  // namespace

RecoverResult RecoverFile(ByteSource& volume, std::string_view position_text, const VolumeGeometry& geometry,
                          const std::vector<Run>& mft_runs, const std::string& output_path,
                          const std::atomic<bool>* stop, const BitmapExtent* bitmap, bool in_use_too,
                          bool bitmap_required, bool keep_times) {
    // "0x4C00:ADS" names the stream ADS of the file at 0x4C00.
    const auto [record_text, stream] = SplitStreamPosition(position_text);
    auto position = ParseRowPosition(record_text);
    if (!position) return NotWritten(position.reason());
    if (geometry.RecordSize == 0 || geometry.ClusterSize == 0) return NotWritten("no volume has been scanned");
    const MftMap map(mft_runs, geometry.ClusterSize, geometry.RecordSize);
    auto listed = ReadListedRecord(volume, map, *position, geometry, in_use_too);
    if (!listed) return NotWritten(listed.reason());
    const bool in_use = listed->in_use;
    return RecoverRecord(volume, map, listed->record, listed->index, geometry, output_path, stop,
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
    auto position = ParseRowPosition(position_text);
    if (!position) return NotWritten(position.reason());
    auto record = ReadFoundRecord(volume, *position, found);
    if (!record) return NotWritten(record.reason());
    // The record's own volume, seen from its cluster 0.
    std::shared_ptr<ByteSource> shared(&volume, [](ByteSource*) {});
    OffsetView own(shared, found.origin, volume.Size() - found.origin);
    const MftMap map = FoundMftMap(found, volume.Size());
    const std::optional<std::int64_t> index = map.IndexAt(*position - found.origin);
    return RecoverRecord(own, map, *record, index, found.geometry, output_path, stop,
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
