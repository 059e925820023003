#include "scan/scan_volume.h"

#include <algorithm>
#include <vector>

#include "disk/open_volume.h"
#include "disk/volume_address.h"
#include "disk/volume_label_at.h"
#include "ntfs/attributes.h"
#include "ntfs/boot_sector.h"
#include "ntfs/checked_math.h"
#include "ntfs/fixups.h"
#include "ntfs/listed_attributes.h"
#include "ntfs/outcome.h"
#include "text/record_texts.h"
#include "ntfs/run_list.h"
#include "scan/data_head_type.h"
#include "scan/deleted_file_reader.h"
#include "scan/listed_file_reader.h"
#include "scan/mft_record_reader.h"
#include "scan/row_details.h"
#include "scan/stream_rows.h"
#include "rescue/boot_choice.h"
#include "rescue/mft_extent.h"
#include "rescue/volume_name.h"

namespace verandol {

namespace {

std::string KilobytesText(std::int64_t bytes) { return std::to_string(bytes / 1024) + " KB"; }

// A volume read by its backup boot sector has a first sector nothing can
// probe: its label is read from $Volume through the backup's layout.
std::string LabelOf(ByteSource& volume, const std::string& path, const ChosenBoot& chosen) {
    if (chosen.note.empty() || !IsNtfs(chosen.bytes)) return VolumeLabelAt(volume, path);
    const Outcome<VolumeLayout> layout = DeriveLayout(chosen.bytes);
    return layout ? ReadVolumeName(volume, *layout) : std::string();
}

// Tells what the device could not deliver to the walk, once, at its end.
void TellLosses(ByteSource& volume, const std::vector<std::int64_t>& records, bool bitmap_lost, ScanEvents& events) {
    ReadLosses losses{"scan", volume.UnreadSoFar(), records, {}};
    if (losses.Empty()) return;
    if (bitmap_lost) losses.consequence = "the cluster bitmap could not be read, so how much of each file is left is unknown";
    events.Unreadable(losses);
}

}  // namespace

void ScanVolume(ByteSource& volume, const std::string& drive_name, const std::string& path, ScanEvents& events,
                const ScanOptions& options) {
    std::vector<std::int64_t> unreadable;  // records the device could not deliver
    bool bitmap_lost = false;
    // Whichever way the walk ends, the losses are told before the last call.
    const auto end = [&](ScanEnd how, const std::string& reason) {
        TellLosses(volume, unreadable, bitmap_lost, events);
        events.Ended(how, reason);
    };
    // A volume named by its offset runs to the disk's end when its own boot
    // sector cannot say how far it reaches.
    const bool look_further = ParseVolumeAddress(path).offset >= 0;
    if (look_further && !IsNtfs(ReadBootSector(volume)))
        events.Note("the volume's first boot sector is damaged; its backup copy is sought by reading on from it");
    const ChosenBoot chosen = ChooseBootSector(volume, look_further, [&] { return events.StopRequested(); });
    if (look_further && chosen.note.empty() && events.StopRequested()) return end(ScanEnd::Stopped, {});
    if (!chosen.note.empty()) events.Note(chosen.note);
    const BootSectorBytes& boot = chosen.bytes;
    events.DiskLabels("Disk Name: " + LabelOf(volume, path, chosen), "Disk Serial: " + SerialText(boot));
    if (!IsNtfs(boot)) return end(ScanEnd::Failed, "the volume's boot sector does not say NTFS");

    const Outcome<VolumeLayout> derived = DeriveLayout(boot);
    if (!derived) return end(ScanEnd::Failed, derived.reason());
    const VolumeLayout& layout = *derived;
    events.DriveSize("Drive Size: " + KilobytesText(layout.volume_size));
    // The same "0x" and at least two upper-case digits as a row's position.
    events.MftLocation("MFT Location: " + PositionCaption(layout.mft_offset));
    PublishedGeometry published{drive_name, path, layout.geometry, {}, std::nullopt, options.in_use_too};
    events.GeometryPublished(published);

    const Outcome<MftExtent> mft = ReadMftExtent(volume, layout);
    if (!mft) return end(ScanEnd::Failed, mft.reason());
    if (!mft->note.empty()) events.Note(mft->note);
    const std::int64_t count = mft->record_count;
    events.MftFigures("MFT Size: " + KilobytesText(mft->bytes), "All Files: " + std::to_string(count));
    if (count < layout::record::kFirstUserRecord)
        return end(ScanEnd::Failed, "the MFT holds fewer than 16 records");

    // Recovery reads records through the same map as the walk.
    published.mft_runs = mft->runs;
    MftRecordReader reader(volume, layout.geometry, mft->runs);
    published.bitmap = ReadVolumeBitmap(reader, layout.geometry);
    bitmap_lost = !published.bitmap && !volume.UnreadSoFar().empty();
    events.GeometryPublished(published);
    events.WalkStarting(static_cast<int>(count - layout::record::kFirstUserRecord));
    RowDetails details(volume, layout.geometry, published.bitmap);
    std::vector<std::uint8_t> record(layout.geometry.RecordSize);
    const std::int64_t readable_end = std::min(count, reader.ReadableLimit());
    for (std::int64_t i = layout::record::kFirstUserRecord; i < readable_end; ++i) {
        if (events.StopRequested()) {
            events.ClaimedClusters(details.TakeClaimed());
            events.Folders(details.TakeFolders());
            return end(ScanEnd::Stopped, {});
        }
        events.Progress(static_cast<int>(i - layout::record::kFirstUserRecord + 1));
        auto position = reader.Read(i, record);
        if (!position) {
            if (reader.LastUnreadable()) {
                unreadable.push_back(i);
                details.NoteUnreadable(i);
            }
            continue;
        }
        if (FolderPaths::IsFolderRecord(record)) {
            details.NoteFolder(i, record);
            continue;
        }
        // Most records are in use: pass them over before the fixups.
        const bool wanted = IsDeletedFileRecord(record) || (options.in_use_too && IsFileInUseRecord(record));
        if (!wanted || !ApplyFixups(record)) continue;
        if (HasAttributeList(record)) {
            // Its $DATA lies in pieces in extension records; the bitmap is
            // asked about every piece.
            std::vector<DataPiece> pieces;
            if (auto row = ReadListedFileRow(volume, reader.Map(), layout.geometry, record, i, *position, &pieces)) {
                if (row->name.empty() && !pieces.empty())
                    row->type = TypeFromDataHead(volume, 0, layout.geometry.ClusterSize, pieces.front().attribute);
                details.Complete(*row, pieces);
                events.Row(std::move(*row));
            }
            continue;
        }
        ByteSpan data;
        if (auto row = ReadDeletedFileRow(record, *position, &data)) {
            if (row->name.empty()) row->type = TypeFromDataHead(volume, 0, layout.geometry.ClusterSize, data);
            std::vector<StreamRow> streams = StreamRowsOf(*row, record, volume, layout.geometry.ClusterSize);
            details.Complete(*row, data);
            events.Row(std::move(*row));
            // Its named streams follow it, each a row of its own.
            for (StreamRow& stream : streams) {
                details.Complete(stream.row, stream.data);
                events.Row(std::move(stream.row));
            }
        }
    }
    // The records past what the volume can deliver count as walked.
    if (readable_end < count) events.Progress(static_cast<int>(count - layout::record::kFirstUserRecord));
    events.ClaimedClusters(details.TakeClaimed());
    events.Folders(details.TakeFolders());
    end(ScanEnd::Completed, {});
}


void ScanVolumePath(const std::string& drive_name, const std::string& path, ScanEvents& events,
                    const ScanOptions& options) {
    Outcome<OpenedVolume> opened = OpenVolume(path);
    if (!opened) return events.Ended(ScanEnd::Failed, opened.reason());
    // A disk named without its partition publishes the partition it chose,
    // so a recovery reopens the same one.
    ScanVolume(*opened->source, drive_name, opened->address, events, options);
}

}  // namespace verandol
