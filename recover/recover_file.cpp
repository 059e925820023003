#include "recover/recover_file.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "ntfs/attributes.h"
#include "ntfs/fixups.h"
#include "ntfs/layout.h"
#include "ntfs/record_texts.h"
#include "ntfs/run_list.h"
#include "recover/cluster_reuse_check.h"
#include "recover/temporary_output.h"

namespace verandol {

namespace {

// At most this much of a file is held in memory, whatever its size.
constexpr std::size_t kPieceBytes = 4 << 20;

RecoverResult NotWritten(std::string reason) { return {RecoverStatus::NotWritten, std::move(reason)}; }

// Streams a file's bytes into the temporary output, remembering the first
// stretch that could not be read.
class DataWriter {
public:
    DataWriter(ByteSource& volume, TemporaryOutput& out, const std::atomic<bool>* stop)
        : volume_(volume), out_(out), stop_(stop) {}

    std::int64_t Written() const { return offset_; }
    const std::string& Missing() const { return missing_; }
    bool Stopped() const { return stopped_; }

    // Copies `length` bytes from the volume at `position`.
    bool CopyFromVolume(std::int64_t position, std::int64_t length) {
        while (length > 0) {
            if (stop_ && stop_->load()) {
                stopped_ = true;
                return false;
            }
            const std::size_t piece = static_cast<std::size_t>(std::min<std::int64_t>(length, kPieceBytes));
            // Sized to the largest piece asked for and left uninitialised:
            // clearing 4 MiB for each of many small files would cost more
            // than copying them.
            if (piece > buffer_size_) {
                buffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(piece);
                buffer_size_ = piece;
            }
            const std::size_t got = volume_.ReadAt(position, MutableByteSpan(buffer_.get(), piece));
            if (got < piece)
                NoteMissing("the volume could not deliver the clusters at byte " +
                            std::to_string(position + static_cast<std::int64_t>(got)));
            if (got > 0 && !out_.WriteAt(offset_, ByteSpan(buffer_.get(), got))) return false;
            // Bytes the volume did not deliver stay a hole, which reads as zeros.
            offset_ += static_cast<std::int64_t>(piece);
            position += static_cast<std::int64_t>(piece);
            length -= static_cast<std::int64_t>(piece);
        }
        return true;
    }

    // Zeros the file really holds (a sparse run) or that stand for missing data.
    void Skip(std::int64_t length) { offset_ += length; }

    bool Write(ByteSpan bytes) {
        if (!out_.WriteAt(offset_, bytes)) return false;
        offset_ += static_cast<std::int64_t>(bytes.size());
        return true;
    }

    void NoteMissing(std::string why) {
        if (missing_.empty()) missing_ = std::move(why);
    }

private:
    ByteSource& volume_;
    TemporaryOutput& out_;
    const std::atomic<bool>* stop_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t buffer_size_ = 0;
    std::int64_t offset_ = 0;
    std::string missing_;
    bool stopped_ = false;
};

// Writes the runs in list order, cut at the real size; zeros where a run is
// sparse, starts at a negative cluster, or reaches past the volume's end.
bool WriteRuns(const DecodedRunList& list, std::int64_t real_size, std::int64_t cluster_size,
               std::int64_t volume_size, DataWriter& writer) {
    for (const Run& run : list.runs) {
        const std::int64_t wanted = real_size - writer.Written();
        if (wanted <= 0) break;
        std::int64_t bytes;
        if (run.clusters > static_cast<std::uint64_t>(INT64_MAX) ||
            __builtin_mul_overflow(static_cast<std::int64_t>(run.clusters), cluster_size, &bytes))
            bytes = INT64_MAX;
        bytes = std::min(bytes, wanted);
        if (bytes == 0) continue;
        if (run.sparse) {
            writer.Skip(bytes);
            continue;
        }
        std::int64_t start;
        if (!run.valid || __builtin_mul_overflow(run.lcn, cluster_size, &start)) {
            writer.NoteMissing("a run of the file starts outside the volume");
            writer.Skip(bytes);
            continue;
        }
        std::int64_t inside = bytes;
        if (volume_size > 0) inside = std::clamp<std::int64_t>(volume_size - start, 0, bytes);
        if (inside < bytes) writer.NoteMissing("a run of the file reaches past the end of the volume");
        if (!writer.CopyFromVolume(start, inside)) return false;
        writer.Skip(bytes - inside);
    }
    // A damaged list only matters when the runs it did give fall short.
    if (writer.Written() < real_size && !list.problem.empty())
        writer.NoteMissing("the run list is damaged: " + list.problem);
    return true;
}

}  // namespace

RecoverResult RecoverFile(ByteSource& volume, std::string_view position_text, const VolumeGeometry& geometry,
                          const std::string& output_path, const std::atomic<bool>* stop, const BitmapExtent* bitmap) {
    auto position = ParsePositionCaption(position_text);
    if (!position) return NotWritten("\"" + std::string(position_text) + "\" is not a record position");
    if (geometry.RecordSize == 0 || geometry.ClusterSize == 0) return NotWritten("no volume has been scanned");

    std::vector<std::uint8_t> record(geometry.RecordSize);
    if (volume.ReadAt(*position, record) != record.size()) return NotWritten("the record could not be read");
    if (!ApplyFixups(record)) return NotWritten("the record is no longer a valid file record");
    if (!IsDeletedFileRecord(record))
        return NotWritten("the record is in use again or is a directory");
    ByteSpan data = FindAttribute(record, layout::attr::kData, false);
    if (data.empty()) return NotWritten("the record has no data attribute");

    const bool non_resident = IsNonResident(data);
    std::optional<ByteSpan> resident;
    std::optional<NonResidentExtent> extent;
    if (non_resident) {
        extent = ReadNonResidentExtent(data);
        if (!extent) return NotWritten("the data attribute is cut short");
        if (extent->run_list_offset >= data.size()) return NotWritten("the run list lies outside the data attribute");
        if (extent->real_size < 0) return NotWritten("the data attribute gives a negative size");
    } else {
        resident = ResidentValue(data);
        if (!resident) return NotWritten("the data attribute is cut short");
    }

    TemporaryOutput out(output_path);
    if (!out.IsOpen()) return NotWritten(out.Error());
    DataWriter writer(volume, out, stop);
    bool ok;
    std::int64_t length;
    if (non_resident) {
        const DecodedRunList runs = DecodeRunList(data.subspan(extent->run_list_offset));
        ok = WriteRuns(runs, extent->real_size, geometry.ClusterSize, volume.Size(), writer);
        length = extent->real_size;
    } else {
        ok = writer.Write(*resident);
        if (*read_le32(data, layout::attr::kValueLength) > resident->size())
            writer.NoteMissing("the file's bytes run past the end of its record");
        length = static_cast<std::int64_t>(resident->size());
    }
    if (writer.Stopped()) return NotWritten("stopped");
    if (!ok || !out.Resize(length) || !out.Commit()) return NotWritten(out.Error());
    RecoverResult result{writer.Missing().empty() ? RecoverStatus::Written : RecoverStatus::Incomplete, writer.Missing()};
    return WithClusterReuseNote(std::move(result), volume, data, geometry, bitmap);
}

RecoverResult RecoverFile(const std::string& volume_path, std::string_view position_text,
                          const VolumeGeometry& geometry, const std::string& output_path,
                          const std::atomic<bool>* stop, const BitmapExtent* bitmap) {
    std::string error;
    auto volume = VolumeFile::Open(volume_path, &error);
    if (!volume) return NotWritten(error);
    return RecoverFile(*volume, position_text, geometry, output_path, stop, bitmap);
}

}  // namespace verandol
