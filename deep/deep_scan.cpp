#include "deep/deep_scan.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <tuple>

#include "deep/cluster_size_evidence.h"
#include "deep/found_file_row.h"
#include "deep/found_record.h"
#include "deep/index_name_book.h"
#include "deep/index_names.h"
#include "deep/newest_copies.h"
#include "disk/offset_view.h"
#include "disk/open_volume.h"
#include "disk/aligned_buffer.h"
#include "disk/volume_label_at.h"
#include "ntfs/attributes.h"
#include "ntfs/boot_sector.h"
#include "ntfs/checked_math.h"
#include "ntfs/cluster_bitmap.h"
#include "ntfs/layout.h"
#include "rescue/boot_candidate.h"
#include "rescue/mft_extent.h"
#include "scan/mft_record_reader.h"
#include "scan/row_details.h"
#include "text/record_texts.h"

namespace verandol {

namespace {

constexpr std::int64_t kSector = 512;  // records and index blocks begin on 512-byte boundaries
constexpr std::int64_t kMiB = 1 << 20;

std::string KilobytesText(std::int64_t bytes) { return std::to_string(bytes / 1024) + " KB"; }

// A volume whose boot sector and MFT the pass knows: the present one, or
// one whose boot sector it met on the way. Its MFT's map places its
// records; its bitmaps say which clusters and records it has in use.
struct MappedVolume {
    bool present = false;
    std::int64_t offset = 0;  // its first byte on the scanned device
    std::int64_t size = 0;
    VolumeLayout layout;
    std::int64_t record_count = 0;
    MftMap map;  // in the volume's own bytes
    std::unique_ptr<ByteSource> view;  // the bytes of a volume found on the way
    std::optional<ClusterBitmap> clusters;
    std::shared_ptr<const BitmapExtent> bitmap;  // where `clusters` lies, for the rows it judges
    std::optional<ClusterBitmap> records;  // the MFT's record bitmap
    std::size_t group = 0;
};

// Reads the maps of a volume whose record 0 checked out from `source`, its bytes.
std::optional<BitmapExtent> ReadMaps(ByteSource& source, const VolumeLayout& layout, const MftExtent& mft,
                                     MappedVolume& into) {
    into.layout = layout;
    into.record_count = mft.record_count;
    MftRecordReader reader(source, layout.geometry, mft.runs);
    into.map = reader.Map();
    std::optional<BitmapExtent> bitmap = ReadVolumeBitmap(reader, layout.geometry);
    if (bitmap) {
        into.clusters.emplace(source, layout.geometry.ClusterSize, *bitmap);
        into.bitmap = std::make_shared<const BitmapExtent>(*bitmap);
    }
    if (mft.record_bitmap) into.records.emplace(source, layout.geometry.ClusterSize, *mft.record_bitmap);
    return bitmap;
}

// The bytes the present volume's boot sector claims, its backup included:
// what lies past them (another volume's image appended, say) is not its own.
std::int64_t Extent(const MappedVolume& present, std::int64_t device_size) {
    std::int64_t extent;
    if (AddOverflows(present.layout.volume_size, std::int64_t{present.layout.geometry.BytesPerSector}, extent))
        return device_size;
    return std::min(extent, device_size);
}

class DeepPass {
public:
    DeepPass(ByteSource& volume, ScanEvents& events, std::optional<MappedVolume> present,
             const DeepScanOptions& options)
        : volume_(volume),
          events_(events),
          groups_(present ? std::optional<KnownVolume>(KnownVolume{0, Extent(*present, volume.Size()),
                                                                   present->layout.geometry})
                          : std::nullopt,
                  present ? present->layout.mft_offset : 0, options.found_volumes),
          read_bytes_(std::max<std::size_t>(options.read_bytes / kSector * kSector, kMaxFoundBlockBytes)) {
        if (!present) return;
        // About one row for every other record, as on a volume in use for a
        // while; capped (at 6 MiB of table) so a huge MFT does not claim the
        // room up front: past that the table grows as the rows come.
        copies_.Reserve(static_cast<std::size_t>(std::min<std::int64_t>(present->record_count / 2, 1 << 16)));
        mapped_.push_back(std::move(*present));
    }

    ScanEnd Run();
    void Finish();
    // What the device could not deliver to the pass, with the records of a
    // mapped volume's MFT that lay there; empty when everything was read.
    ReadLosses Losses() const;

private:
    // True when any of [position, position + length) could not be read.
    bool Unread(std::int64_t position, std::int64_t length) const {
        return std::any_of(unread_.begin(), unread_.end(), [&](const UnreadRange& r) {
            return r.position < position + length && position < r.End();
        });
    }
    // Looks at the block at `position`; returns how far to go on (at least one sector).
    std::size_t Examine(std::int64_t position, ByteSpan bytes);
    std::size_t TakeRecord(std::int64_t position, ByteSpan bytes);
    // The size of the record at `position` when it is a file the present
    // MFT has in use there, judged from its header alone.
    std::optional<std::size_t> PassOverInUse(std::int64_t position, ByteSpan bytes);
    // The mapped volume whose MFT's map holds record `header.number` at `position`.
    MappedVolume* MappedAt(std::int64_t position, const FoundRecordHeader& header);
    bool InUseNow(MappedVolume& volume, const FoundRecordHeader& header);
    // A volume met by its boot sector becomes a mapped volume once its record 0 checks out.
    void NoteBootSector(std::int64_t position, ByteSpan sector);
    // The innermost mapped volume holding `origin` among the clusters its
    // bitmap describes, or null.
    MappedVolume* BitmapHolder(std::int64_t origin);
    // The bitmap that judges a row of `group` whose volume `found` places:
    // that of its own mapped volume (`mapped`); else that of the innermost
    // mapped volume around it; else the one the group's own record 6 names.
    // None for a volume nothing placed. Sets found.judge to say which; a
    // file `in_use` on the bitmap's own volume owns its clusters.
    ClusterBitmap* Judge(MappedVolume* mapped, bool in_use, std::size_t group, FoundGeometry& found);
    // The cluster bitmap the group's record 6 names, read from its volume at found.origin.
    ClusterBitmap* OwnBitmap(std::size_t group, const FoundGeometry& found);
    // Whether the present MFT has the record `identity` names in use, as
    // new as `header` says this copy is or newer: a copy left elsewhere of
    // a file that still exists. Asked of the present MFT itself, for the few
    // rows found outside it, rather than remembering every record in use.
    bool PresentHasNewer(const RecordIdentity& identity, const FoundRecordHeader& header);
    // Keeps the clusters the listed file's $DATA names (`record`, read with
    // `found`'s geometry): a carve pass after the scan need not search them.
    void Claim(const FoundGeometry& found, ByteSpan record);
    // Lists the row unless a copy of the same record met before is as new.
    void Emit(DeletedFileRow row, std::size_t group, const std::optional<RecordIdentity>& identity,
              const FoundRecordHeader& header);

    struct Waiting {
        DeletedFileRow row;
        std::int64_t volume;  // as RecordGroups::VolumeAt names it
        std::size_t group;
        FoundRecordHeader header;
        std::optional<RecordIdentity> identity;
    };
    struct Listed {
        std::size_t group;
        std::uint64_t parent;
    };

    ByteSource& volume_;
    ScanEvents& events_;
    RecordGroups groups_;
    std::vector<MappedVolume> mapped_;  // the present volume first, when there is one
    std::size_t read_bytes_;
    std::vector<std::uint8_t> record_;
    std::vector<std::uint8_t> block_;  // an index block's copy, and the name being read from it
    std::u16string units_;
    IndexNameBook names_;
    std::vector<Waiting> nameless_;
    std::vector<Listed> listed_;
    NewestCopies copies_;
    StretchSet claimed_;  // device bytes of the listed rows' clusters
    // Stretches of the bytes in hand the device could not deliver.
    std::vector<UnreadRange> unread_;
    // Records and index blocks passed over because part of them could not be read.
    std::int64_t torn_blocks_ = 0;
    // The bitmaps groups' own records 6 name, by group, read as first needed.
    struct GroupBitmap {
        std::unique_ptr<OffsetView> view;
        std::shared_ptr<const BitmapExtent> extent;
        std::int64_t origin = 0;
        std::int64_t cluster_size = 0;
        std::optional<ClusterBitmap> clusters;
    };
    std::map<std::size_t, GroupBitmap> own_bitmaps_;
};

ReadLosses DeepPass::Losses() const {
    ReadLosses losses{"deep scan", volume_.UnreadSoFar(), {}, {}};
    if (losses.Empty()) return losses;
    // The records of each mapped volume's MFT that lay in the stretches.
    for (const MappedVolume& volume : mapped_) {
        const std::int64_t record = volume.layout.geometry.RecordSize;
        if (record <= 0) continue;
        for (const UnreadRange& r : losses.stretches)
            for (std::int64_t at = r.position - r.position % record; at < r.End(); at += record)
                if (const auto index = volume.map.IndexAt(at - volume.offset)) losses.records.push_back(*index);
    }
    std::sort(losses.records.begin(), losses.records.end());
    losses.records.erase(std::unique(losses.records.begin(), losses.records.end()), losses.records.end());
    if (torn_blocks_ > 0)
        losses.consequence = std::to_string(torn_blocks_) + " file records or index blocks were cut by them and are not listed";
    return losses;
}

MappedVolume* DeepPass::MappedAt(std::int64_t position, const FoundRecordHeader& header) {
    for (MappedVolume& volume : mapped_) {
        if (position < volume.offset || position - volume.offset >= volume.size) continue;
        const auto index = volume.map.IndexAt(position - volume.offset);
        if (index && *index == header.number) return &volume;
    }
    return nullptr;
}

bool DeepPass::InUseNow(MappedVolume& volume, const FoundRecordHeader& header) {
    if ((header.flags & layout::record::kFlagInUse) == 0) return false;
    // A record of an earlier volume left where the present MFT has not yet
    // written one says "in use" too; the MFT's own bitmap tells them apart.
    if (!volume.records) return true;
    return volume.records->IsSet(header.number).value_or(true);
}

void DeepPass::NoteBootSector(std::int64_t position, ByteSpan sector) {
    const std::optional<BootCandidate> boot = CheckBootCandidate(sector);
    if (!boot) return;
    // The present volume's own boot sector; a volume met already. A backup
    // copy lies past its volume's MFT, which the pass has left behind, and
    // is taken for a volume beginning where it lies only if a record 0
    // checks out there.
    for (const MappedVolume& volume : mapped_)
        if (volume.offset == position) return;
    const std::int64_t size =
        std::min<std::int64_t>(boot->backup_offset + boot->layout.geometry.BytesPerSector, volume_.Size() - position);
    // A volume reaching past the MFT position it names cannot hold it.
    if (boot->layout.mft_offset >= size) return;
    std::shared_ptr<ByteSource> device(&volume_, [](ByteSource*) {});
    auto view = std::make_unique<OffsetView>(device, position, size);
    const Outcome<MftExtent> mft = ReadMftExtent(*view, boot->layout);
    if (!mft) return;
    MappedVolume found;
    found.offset = position;
    found.size = size;
    ReadMaps(*view, boot->layout, *mft, found);
    found.view = std::move(view);
    found.group = groups_.AddMapped(KnownVolume{position, size, boot->layout.geometry}, position + boot->layout.mft_offset);
    mapped_.push_back(std::move(found));
}

MappedVolume* DeepPass::BitmapHolder(std::int64_t origin) {
    MappedVolume* best = nullptr;
    for (MappedVolume& volume : mapped_) {
        std::int64_t described;  // bytes of the volume its bitmap has a bit for
        if (!volume.clusters || MulOverflows(volume.bitmap->bytes, 8 * std::int64_t{volume.layout.geometry.ClusterSize},
                                             described))
            continue;
        if (origin >= volume.offset && origin - volume.offset < std::min(volume.size, described) &&
            (!best || volume.offset >= best->offset))
            best = &volume;
    }
    return best;
}

ClusterBitmap* DeepPass::OwnBitmap(std::size_t group, const FoundGeometry& found) {
    const std::optional<BitmapExtent>& extent = groups_.Group(group).own_bitmap;
    if (!extent || found.origin < 0 || found.origin >= volume_.Size()) return nullptr;
    auto [kept, added] = own_bitmaps_.try_emplace(group);
    GroupBitmap& own = kept->second;
    if (added) {
        std::shared_ptr<ByteSource> device(&volume_, [](ByteSource*) {});
        own.view = std::make_unique<OffsetView>(device, found.origin, volume_.Size() - found.origin);
        own.extent = std::make_shared<const BitmapExtent>(*extent);
        own.origin = found.origin;
        own.cluster_size = found.geometry.ClusterSize;
        own.clusters.emplace(*own.view, own.cluster_size, *extent);
    }
    // A group read with another origin or cluster size than its bitmap was is not judged by it.
    if (own.origin != found.origin || own.cluster_size != found.geometry.ClusterSize) return nullptr;
    return &*own.clusters;
}

ClusterBitmap* DeepPass::Judge(MappedVolume* mapped, bool in_use, std::size_t group, FoundGeometry& found) {
    if (!found.placed) return nullptr;
    MappedVolume* judge = mapped ? mapped : BitmapHolder(found.origin);
    if (!judge) {
        ClusterBitmap* own = OwnBitmap(group, found);
        if (!own) return nullptr;
        const GroupBitmap& kept = own_bitmaps_.at(group);
        found.judge = {kept.extent, kept.origin, kept.cluster_size, in_use};
        return own;
    }
    found.judge = {judge->bitmap, judge->offset, judge->layout.geometry.ClusterSize, judge == mapped && in_use};
    return judge->clusters ? &*judge->clusters : nullptr;
}

std::optional<std::size_t> DeepPass::PassOverInUse(std::int64_t position, ByteSpan bytes) {
    namespace rec = layout::record;
    if (mapped_.empty() || !mapped_.front().present) return std::nullopt;
    MappedVolume& present = mapped_.front();
    const auto size = FoundRecordSize(bytes);
    // The number and the flags never lie at a stride end: the raw bytes hold them.
    const auto number = read_le32(bytes, rec::kRecordNumber);
    const auto flags = read_le16(bytes, rec::kFlags);
    if (!size || bytes.size() < *size || !number || !flags || *number < rec::kFirstUserRecord ||
        (*flags & rec::kFlagDirectory) || !(*flags & rec::kFlagInUse))
        return std::nullopt;
    const auto index = present.map.IndexAt(position);
    if (!index || *index != *number) return std::nullopt;
    FoundRecordHeader header;
    header.number = *number;
    header.flags = *flags;
    if (!InUseNow(present, header)) return std::nullopt;
    return *size;
}

std::size_t DeepPass::TakeRecord(std::int64_t position, ByteSpan bytes) {
    // Half the records of a volume in use are files the present MFT has in
    // use: neither listed nor needed for a path, so not even copied.
    if (const auto passed = PassOverInUse(position, bytes)) return *passed;
    const auto header = TakeFoundRecord(bytes, record_);
    if (!header) return kSector;
    const std::size_t taken = header->record_size;
    // Its MFT would start before the volume, unless a record 0 met earlier
    // placed this piece of its MFT here.
    const std::int64_t base = position - std::int64_t{header->number} * header->record_size;
    if (base < 0 && !groups_.HasGroupAt(base, header->record_size)) return taken;
    MappedVolume* mapped = MappedAt(position, *header);
    // Only the present volume's files in use are left out: those of a
    // volume found on the way are as lost as its deleted ones.
    const bool in_use_now = mapped && mapped->present && InUseNow(*mapped, *header);
    const std::size_t group =
        groups_.GroupOf(position, *header, mapped ? std::optional<std::size_t>(mapped->group) : std::nullopt);
    groups_.Learn(group, *header, record_);
    if (header->number < layout::record::kFirstUserRecord) return taken;
    if (header->flags & layout::record::kFlagDirectory) {
        groups_.Group(group).folders.NoteFolder(header->number, record_);
        return taken;
    }
    if (in_use_now) return taken;
    const std::int64_t volume = groups_.VolumeAt(position);
    const std::optional<RecordIdentity> identity = IdentityOf(volume, *header, record_);
    const std::optional<FoundGeometry> geometry = groups_.GeometryFor(group, *header, ClusterSizeEvidence(record_));
    if (!geometry) return taken;
    FoundGeometry found = *geometry;
    const bool in_use = mapped ? InUseNow(*mapped, *header) : (header->flags & layout::record::kFlagInUse) != 0;
    ClusterBitmap* clusters = Judge(mapped, in_use, group, found);
    auto file = ReadFoundFile(volume_, found, *header, record_, position, clusters);
    if (!file) return taken;
    Claim(found, record_);
    if (file->named) Emit(std::move(file->row), group, identity, *header);
    else nameless_.push_back({std::move(file->row), volume, group, *header, identity});
    return taken;
}

std::size_t DeepPass::Examine(std::int64_t position, ByteSpan bytes) {
    if (bytes[0] == 'F') return TakeRecord(position, bytes);
    const auto size = IndexBlockSize(bytes);
    if (!size || bytes.size() < *size) return kSector;
    const std::int64_t volume = groups_.VolumeAt(position);
    ForEachIndexBlockName(bytes, block_, units_, [&](const IndexedNameView& name) { names_.Add(volume, name); });
    return kSector;
}

void DeepPass::Claim(const FoundGeometry& found, ByteSpan record) {
    const ByteSpan data = FindAttribute(record, layout::attr::kData, false);
    if (!found.placed || data.empty() || !IsNonResident(data)) return;
    const auto runs = ClusterBitmap::RunsOfPieces({data});
    if (!runs) return;
    const std::int64_t cluster = found.geometry.ClusterSize;
    for (const auto& run : runs->runs) {
        std::int64_t offset, position, length;
        if (run.sparse || !run.valid || run.clusters > static_cast<std::uint64_t>(INT64_MAX) ||
            MulOverflows(run.lcn, cluster, offset) || AddOverflows(found.origin, offset, position) ||
            MulOverflows(static_cast<std::int64_t>(run.clusters), cluster, length))
            continue;
        claimed_.Add({position, length});
    }
}

bool DeepPass::PresentHasNewer(const RecordIdentity& identity, const FoundRecordHeader& header) {
    if (mapped_.empty() || !mapped_.front().present) return false;
    MappedVolume& present = mapped_.front();
    if (header.record_size != present.layout.geometry.RecordSize || header.number >= present.record_count) return false;
    std::vector<std::uint8_t> raw(header.record_size);
    if (!present.map.ReadRecord(volume_, header.number, raw)) return false;
    std::vector<std::uint8_t> record;
    const auto own = TakeFoundRecord(raw, record);
    if (!own || own->number != header.number || !InUseNow(present, *own)) return false;
    if (IdentityOf(present.offset, *own, record) != identity) return false;
    return std::tie(own->sequence, own->log_sequence) >= std::tie(header.sequence, header.log_sequence);
}

void DeepPass::Emit(DeletedFileRow row, std::size_t group, const std::optional<RecordIdentity>& identity,
                    const FoundRecordHeader& header) {
    if (identity) {
        if (group != RecordGroups::kPresentGroup && PresentHasNewer(*identity, header)) return;
        const auto verdict = copies_.Offer(*identity, header, listed_.size());
        if (!verdict.keep) return;
        if (verdict.withdrawn) events_.Withdrawn(*verdict.withdrawn);
    }
    listed_.push_back({group, row.parent_reference});
    events_.Row(std::move(row));
}

ScanEnd DeepPass::Run() {
    const std::int64_t total = volume_.Size();
    events_.WalkStarting(static_cast<int>(std::min<std::int64_t>(total / kMiB, INT32_MAX)));
    volume_.ExpectSequentialReads();
    // Each read lands on a page boundary (see AlignedBuffer); the head of a
    // block the previous read cut, never more than the largest block, is
    // carried to just before it. (A reader thread a chunk ahead measured
    // slower on a busy two-core machine: each hand-over waits for a wake-up.)
    constexpr std::size_t kCarry = kMaxFoundBlockBytes;
    static_assert(kCarry % kPageBytes == 0);
    // No more room than the volume holds: a small image needs no 8 MiB.
    const AlignedBuffer memory(kCarry + static_cast<std::size_t>(std::min<std::int64_t>(
                                            static_cast<std::int64_t>(read_bytes_), total)));
    if (!memory.Data()) return ScanEnd::Failed;
    std::uint8_t* const reads = memory.Data() + kCarry;
    std::size_t held = 0;      // bytes carried over, just before `reads`
    std::int64_t held_at = 0;  // volume position of reads - held
    std::int64_t next = 0;     // volume position of the next read
    while (next < total) {
        if (events_.StopRequested()) return ScanEnd::Stopped;
        const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(read_bytes_, total - next));
        // Sectors the device cannot read come back as zeros and are noted:
        // what lies in them is lost, the records around them are not.
        const std::size_t got = volume_.ReadAround(next, MutableByteSpan(reads, want), unread_);
        next += static_cast<std::int64_t>(got);
        std::uint8_t* const start = reads - held;
        const std::size_t count = held + got;
        const bool at_end = next >= total;
        std::size_t at = 0;
        while (at + kSector <= count) {
            const ByteSpan rest(start + at, count - at);
            // Boot sectors on the way: a volume's comes before its MFT, so
            // its records are read with its geometry.
            if (rest[3] == 'N' && MayBeBootSector(rest)) NoteBootSector(held_at + static_cast<std::int64_t>(at), rest);
            const bool file = std::memcmp(rest.data(), "FILE", 4) == 0;
            if (!file && std::memcmp(rest.data(), "INDX", 4) != 0) {
                at += kSector;
                continue;
            }
            const auto claimed = file ? FoundRecordSize(rest) : IndexBlockSize(rest);
            // A block the read cut in two waits for the next read.
            if (claimed && *claimed > rest.size() && !at_end) break;
            // A block some of whose sectors could not be read is not believed.
            if (claimed && Unread(held_at + static_cast<std::int64_t>(at), static_cast<std::int64_t>(*claimed))) {
                ++torn_blocks_;
                at += kSector;
                continue;
            }
            at += Examine(held_at + static_cast<std::int64_t>(at), rest);
        }
        at = std::min(at, count);
        volume_.DoneWith(held_at, static_cast<std::int64_t>(at));
        held = count - at;
        std::memmove(reads - held, start + at, held);
        held_at += static_cast<std::int64_t>(at);
        std::erase_if(unread_, [&](const UnreadRange& r) { return r.End() <= held_at; });
        events_.Progress(static_cast<int>(std::min<std::int64_t>(next / kMiB, INT32_MAX)));
    }
    return ScanEnd::Completed;
}

void DeepPass::Finish() {
    for (Waiting& waiting : nameless_) {
        if (auto name = names_.Find(waiting.volume, waiting.header.number, waiting.header.sequence)) {
            waiting.row.name = Utf16ToUtf8(name->name);
            waiting.row.type = FileExtension(waiting.row.name);
            waiting.row.parent_reference = name->parent_reference;
        }
        Emit(std::move(waiting.row), waiting.group, waiting.identity, waiting.header);
    }
    nameless_.clear();
    std::vector<std::string> folders;
    folders.reserve(listed_.size());
    for (const Listed& listed : listed_)
        folders.push_back(groups_.Group(groups_.Representative(listed.group)).folders.PathOf(listed.parent));
    listed_.clear();
    events_.ClaimedClusters(std::move(claimed_));
    events_.Folders(std::move(folders));
}

// The present volume's figures, and what the pass needs of it.
std::optional<MappedVolume> ReadPresentVolume(ByteSource& volume, const std::string& drive_name,
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
    MappedVolume present;
    present.present = true;
    present.size = volume.Size();
    published.geometry = layout->geometry;
    published.mft_runs = mft->runs;
    published.bitmap = ReadMaps(volume, *layout, *mft, present);
    events.GeometryPublished(published);
    return present;
}

}  // namespace

void DeepScanVolume(ByteSource& volume, const std::string& drive_name, const std::string& path, ScanEvents& events,
                    const DeepScanOptions& options) {
    DeepPass pass(volume, events, ReadPresentVolume(volume, drive_name, path, events), options);
    const ScanEnd end = pass.Run();
    pass.Finish();
    if (const ReadLosses losses = pass.Losses(); !losses.Empty()) events.Unreadable(losses);
    events.Ended(end, end == ScanEnd::Failed ? "no memory for the deep scan's reads" : std::string());
}

void DeepScanVolumePath(const std::string& drive_name, const std::string& path, ScanEvents& events,
                        const DeepScanOptions& options) {
    Outcome<OpenedVolume> opened = OpenVolume(path);
    if (!opened) return events.Ended(ScanEnd::Failed, opened.reason());
    DeepScanVolume(*opened->source, drive_name, opened->address, events, options);
}

}  // namespace verandol
