#include "deep/deep_scan.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "deep/cluster_size_evidence.h"
#include "deep/found_file_row.h"
#include "deep/found_record.h"
#include "deep/index_name_book.h"
#include "deep/index_names.h"
#include "disk/open_volume.h"
#include "disk/volume_label_at.h"
#include "ntfs/boot_sector.h"
#include "ntfs/cluster_bitmap.h"
#include "ntfs/layout.h"
#include "rescue/mft_extent.h"
#include "scan/mft_record_reader.h"
#include "scan/row_details.h"
#include "text/record_texts.h"

namespace verandol {

namespace {

constexpr std::int64_t kSector = 512;  // records and index blocks begin on 512-byte boundaries
constexpr std::int64_t kMiB = 1 << 20;

std::string KilobytesText(std::int64_t bytes) { return std::to_string(bytes / 1024) + " KB"; }

// What the boot sector says of the volume now, when it says anything usable.
struct PresentVolume {
    VolumeLayout layout;
    std::int64_t record_count = 0;
    MftMap map;
    std::optional<ClusterBitmap> clusters;
    std::optional<ClusterBitmap> records;  // the MFT's record bitmap
};

class DeepPass {
public:
    DeepPass(ByteSource& volume, ScanEvents& events, std::optional<PresentVolume>& present,
             const DeepScanOptions& options)
        : volume_(volume),
          events_(events),
          present_(present),
          groups_(present ? std::optional<KnownVolume>(KnownVolume{0, volume.Size(), present->layout.geometry})
                          : std::nullopt,
                  present ? present->layout.mft_offset : 0, options.found_volumes),
          read_bytes_(std::max<std::size_t>(options.read_bytes / kSector * kSector, kMaxFoundBlockBytes)) {}

    ScanEnd Run();
    void Finish();

private:
    // Looks at the block at `position`; returns how far to go on (at least one sector).
    std::size_t Examine(std::int64_t position, ByteSpan bytes);
    std::size_t TakeRecord(std::int64_t position, ByteSpan bytes);
    bool PresentHasInUse(std::int64_t position, const FoundRecordHeader& header, bool& in_map);
    void Emit(DeletedFileRow row, std::size_t group);

    struct Waiting {
        DeletedFileRow row;
        std::size_t group;
        std::uint32_t number;
        std::uint16_t sequence;
    };
    struct Listed {
        std::size_t group;
        std::uint64_t parent;
    };

    ByteSource& volume_;
    ScanEvents& events_;
    std::optional<PresentVolume>& present_;
    RecordGroups groups_;
    std::size_t read_bytes_;
    std::vector<std::uint8_t> record_;
    IndexNameBook names_;
    std::vector<Waiting> nameless_;
    std::vector<Listed> listed_;
};

bool DeepPass::PresentHasInUse(std::int64_t position, const FoundRecordHeader& header, bool& in_map) {
    in_map = false;
    if (!present_) return false;
    const auto index = present_->map.IndexAt(position);
    in_map = index && *index == header.number;
    if (!in_map || (header.flags & layout::record::kFlagInUse) == 0) return false;
    // A record of an earlier volume left where the present MFT has not yet
    // written one says "in use" too; the MFT's own bitmap tells them apart.
    if (!present_->records) return true;
    return present_->records->IsSet(header.number).value_or(true);
}

std::size_t DeepPass::TakeRecord(std::int64_t position, ByteSpan bytes) {
    const auto header = TakeFoundRecord(bytes, record_);
    if (!header) return kSector;
    const std::size_t taken = header->record_size;
    if (position / header->record_size < header->number) return taken;  // its MFT would start before the volume
    bool in_map = false;
    const bool in_use_now = PresentHasInUse(position, *header, in_map);
    const std::size_t group = groups_.GroupOf(position, *header, in_map);
    groups_.Learn(group, *header, record_);
    if (header->number < layout::record::kFirstUserRecord) return taken;
    if (header->flags & layout::record::kFlagDirectory) {
        groups_.Group(group).folders.NoteFolder(header->number, record_);
        return taken;
    }
    if (in_use_now) return taken;
    const auto geometry = groups_.GeometryFor(group, *header, ClusterSizeEvidence(record_));
    if (!geometry) return taken;
    ClusterBitmap* clusters = present_ && present_->clusters ? &*present_->clusters : nullptr;
    auto file = ReadFoundFile(volume_, *geometry, *header, record_, position, clusters);
    if (!file) return taken;
    if (file->named) Emit(std::move(file->row), group);
    else nameless_.push_back({std::move(file->row), group, header->number, header->sequence});
    return taken;
}

std::size_t DeepPass::Examine(std::int64_t position, ByteSpan bytes) {
    if (bytes[0] == 'F') return TakeRecord(position, bytes);
    const auto size = IndexBlockSize(bytes);
    if (!size || bytes.size() < *size) return kSector;
    std::vector<IndexedName> found = ReadIndexBlockNames(bytes);
    for (IndexedName& name : found) names_.Add(std::move(name));
    return kSector;
}

void DeepPass::Emit(DeletedFileRow row, std::size_t group) {
    listed_.push_back({group, row.parent_reference});
    events_.Row(std::move(row));
}

ScanEnd DeepPass::Run() {
    const std::int64_t total = volume_.Size();
    events_.WalkStarting(static_cast<int>(std::min<std::int64_t>(total / kMiB, INT32_MAX)));
    volume_.ExpectSequentialReads();
    // Room for one read and the head of a block the previous read cut; no
    // more than the volume holds, so a small image is not given 8 MiB.
    const std::size_t room = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(read_bytes_), total));
    std::vector<std::uint8_t> buffer(room + kMaxFoundBlockBytes);
    std::size_t held = 0;          // bytes in the buffer
    std::int64_t held_at = 0;      // volume position of buffer[0]
    std::int64_t next = 0;         // volume position of the next read
    while (next < total) {
        if (events_.StopRequested()) return ScanEnd::Stopped;
        const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(read_bytes_, total - next));
        const std::size_t got = volume_.ReadAt(next, MutableByteSpan(buffer.data() + held, want));
        if (got < want && next + static_cast<std::int64_t>(got) < total) {
            // Unreadable sectors: what lies in them is lost, the rest is not.
            next += static_cast<std::int64_t>(want);
            held = 0;
            held_at = next;
            continue;
        }
        held += got;
        next += static_cast<std::int64_t>(got);
        const bool at_end = next >= total;
        std::size_t at = 0;
        while (at + kSector <= held) {
            const ByteSpan rest(buffer.data() + at, held - at);
            const bool file = std::memcmp(rest.data(), "FILE", 4) == 0;
            if (!file && std::memcmp(rest.data(), "INDX", 4) != 0) {
                at += kSector;
                continue;
            }
            const auto claimed = file ? FoundRecordSize(rest) : IndexBlockSize(rest);
            // A block the read cut in two waits for the next read.
            if (claimed && *claimed > rest.size() && !at_end) break;
            at += Examine(held_at + static_cast<std::int64_t>(at), rest);
        }
        at = std::min(at, held);
        volume_.DoneWith(held_at, static_cast<std::int64_t>(at));
        std::memmove(buffer.data(), buffer.data() + at, held - at);
        held -= at;
        held_at += static_cast<std::int64_t>(at);
        events_.Progress(static_cast<int>(std::min<std::int64_t>(next / kMiB, INT32_MAX)));
    }
    return ScanEnd::Completed;
}

void DeepPass::Finish() {
    for (Waiting& waiting : nameless_) {
        if (auto name = names_.Find(waiting.number, waiting.sequence)) {
            waiting.row.name = Utf16ToUtf8(name->name);
            waiting.row.type = FileExtension(waiting.row.name);
            waiting.row.parent_reference = name->parent_reference;
        }
        Emit(std::move(waiting.row), waiting.group);
    }
    nameless_.clear();
    std::vector<std::string> folders;
    folders.reserve(listed_.size());
    for (const Listed& listed : listed_) folders.push_back(groups_.Group(listed.group).folders.PathOf(listed.parent));
    listed_.clear();
    events_.Folders(std::move(folders));
}

// The present volume's figures, and what the pass needs of it.
std::optional<PresentVolume> ReadPresentVolume(ByteSource& volume, const std::string& drive_name,
                                               const std::string& path, ScanEvents& events) {
    const BootSectorBytes boot = ReadBootSector(volume);
    events.DiskLabels("Disk Name: " + VolumeLabelAt(volume, path), "Disk Serial: " + SerialText(boot));
    events.DriveSize("Drive Size: " + KilobytesText(volume.Size()));
    PublishedGeometry published{drive_name, path, {}, {}, std::nullopt};
    const Outcome<VolumeLayout> layout = IsNtfs(boot) ? DeriveLayout(boot) : Refusal("not NTFS");
    const Outcome<MftExtent> mft = layout ? ReadMftExtent(volume, *layout) : Refusal("no layout");
    if (!layout || !mft) {
        events.GeometryPublished(published);
        return std::nullopt;
    }
    events.MftLocation("MFT Location: " + PositionCaption(layout->mft_offset));
    events.MftFigures("MFT Size: " + KilobytesText(mft->bytes), "All Files: " + std::to_string(mft->record_count));
    PresentVolume present;
    present.layout = *layout;
    present.record_count = mft->record_count;
    MftRecordReader reader(volume, layout->geometry, mft->runs);
    present.map = reader.Map();
    published.geometry = layout->geometry;
    published.mft_runs = mft->runs;
    published.bitmap = ReadVolumeBitmap(reader, layout->geometry);
    if (published.bitmap) present.clusters.emplace(volume, layout->geometry.ClusterSize, *published.bitmap);
    if (mft->record_bitmap) present.records.emplace(volume, layout->geometry.ClusterSize, *mft->record_bitmap);
    events.GeometryPublished(published);
    return present;
}

}  // namespace

void DeepScanVolume(ByteSource& volume, const std::string& drive_name, const std::string& path, ScanEvents& events,
                    const DeepScanOptions& options) {
    std::optional<PresentVolume> present = ReadPresentVolume(volume, drive_name, path, events);
    DeepPass pass(volume, events, present, options);
    const ScanEnd end = pass.Run();
    pass.Finish();
    events.Ended(end, {});
}

void DeepScanVolumePath(const std::string& drive_name, const std::string& path, ScanEvents& events,
                        const DeepScanOptions& options) {
    Outcome<OpenedVolume> opened = OpenVolume(path);
    if (!opened) return events.Ended(ScanEnd::Failed, opened.reason());
    DeepScanVolume(*opened->source, drive_name, opened->address, events, options);
}

}  // namespace verandol
