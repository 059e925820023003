#include "naming/volume_memory.h"

#include <algorithm>

#include "scan/folder_paths.h"

#include "deep/index_names.h"
#include "ntfs/attributes.h"
#include "ntfs/checked_math.h"
#include "ntfs/fixups.h"
#include "ntfs/layout.h"

namespace verandol {

namespace {

constexpr std::size_t kChunk = 1 << 20;             // one read of a folder's index allocation
constexpr std::int64_t kMostPerFolder = 64 << 20;  // of one folder's blocks, the first this many bytes
constexpr std::size_t kSector = 512;
constexpr std::int64_t kMostJournal = 64 << 20;
constexpr std::int64_t kJournalPage = 4096;
constexpr std::int64_t kExtendRecord = 11;

}  // namespace

VolumeMemory::VolumeMemory(ByteSource& volume, const PublishedGeometry& published)
    : volume_(volume), geometry_(published.geometry) {
    if (geometry_.RecordSize >= kSector && geometry_.ClusterSize > 0 && !published.mft_runs.empty())
        reader_ = std::make_unique<MftRecordReader>(volume, geometry_, published.mft_runs);
}

void VolumeMemory::ReadFolders(const std::function<bool()>& stop) {
    if (!reader_) return;
    std::vector<std::uint8_t> record(geometry_.RecordSize);
    const std::int64_t end = reader_->ReadableLimit();
    for (std::int64_t i = 0; i < end && !(stop && stop()); ++i) {
        if (!reader_->Read(i, record)) continue;
        const bool folder = FolderPaths::IsFolderRecord(record);
        // The journal's record: in use, a file, among the first records after the system's own.
        const bool journal_candidate = !folder && !journal_record_ && i >= layout::record::kFirstUserRecord &&
                                       IsFileInUseRecord(record);
        if (!ApplyFixups(record)) continue;
        ReadRecordSlack(i, record);
        if (!folder) {
            if (journal_candidate && IsJournalRecord(record)) journal_record_ = i;
            continue;
        }
        folders_.NoteFolder(i, record);
        ReadIndexAllocation(record, ReferenceOf(i, record));
    }
    MendStaleParents();
}

std::uint64_t VolumeMemory::ReferenceOf(std::int64_t number, ByteSpan record) {
    const auto sequence = read_le16(record, layout::record::kSequenceNumber);
    return (static_cast<std::uint64_t>(number) & layout::kReferenceRecordMask) |
           (std::uint64_t{sequence.value_or(0)} << 48);
}

void VolumeMemory::ReadRecordSlack(std::int64_t number, ByteSpan record) {
    const auto in_use = read_le32(record, layout::record::kBytesInUse);
    const auto allocated = read_le32(record, layout::record::kBytesAllocated);
    if (!in_use || !allocated || *in_use < layout::record::kHeaderSize) return;
    const std::size_t from = (std::size_t{*in_use} + 7) / 8 * 8;
    const std::size_t to = std::min<std::size_t>(*allocated, record.size());
    if (from >= to) return;
    const std::size_t first = remembered_.All().size();
    remembered_.AddSlack(record, from, to, NamedFrom::RecordSlack);
    // A folder's record holds in its slack the entries of its index from
    // before the index grew out of the record: names in that folder.
    const std::uint64_t folder = FolderPaths::IsFolderRecord(record) ? ReferenceOf(number, record) : 0;
    if (remembered_.All().size() > first) found_in_.push_back({first, remembered_.All().size(), folder});
}

void VolumeMemory::MendStaleParents() {
    const auto records = static_cast<std::uint64_t>(reader_->ReadableLimit());
    for (const FoundIn& found : found_in_)
        for (std::size_t i = found.first; i < found.end; ++i) {
            const std::uint64_t parent = remembered_.All()[i].parent_reference;
            if (folders_.Holds(parent)) continue;
            // A parent past the MFT's end is damage; one within it may be a folder since removed.
            const bool damaged = parent == 0 || (parent & layout::kReferenceRecordMask) >= records;
            if (found.folder != 0 || damaged) remembered_.SetParent(i, found.folder);
        }
    found_in_.clear();
}

void VolumeMemory::ReadIndexAllocation(ByteSpan record, std::uint64_t folder) {
    const ByteSpan allocation = FindAttribute(record, layout::attr::kIndexAllocation, false);
    if (allocation.empty() || !IsNonResident(allocation)) return;
    const auto extent = ReadNonResidentExtent(allocation);
    const auto runs = extent ? ReadRunList(allocation, *extent) : std::nullopt;
    if (!runs) return;
    pending_.clear();
    // The blocks lie one after another along the allocation, a block
    // possibly split between two runs: the runs' bytes are walked as one
    // stream, whole blocks taken from its front.
    const auto walk = [this, folder] {
        std::size_t at = 0;
        while (fits(pending_.size(), at, kSector)) {
            const ByteSpan rest(pending_.data() + at, pending_.size() - at);
            const auto size = IndexBlockSize(rest);
            if (!size) {
                at += kSector;
                continue;
            }
            if (*size > rest.size()) break;
            const std::size_t first = remembered_.All().size();
            if (remembered_.AddIndexBlock(rest.first(*size), NamedFrom::Index) > 0)
                found_in_.push_back({first, remembered_.All().size(), folder});
            at += *size;
        }
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(at));
    };
    std::int64_t budget = kMostPerFolder;
    for (const Run& run : runs->runs) {
        std::int64_t position, length;
        if (run.clusters > static_cast<std::uint64_t>(INT64_MAX) ||
            MulOverflows(static_cast<std::int64_t>(run.clusters), std::int64_t{geometry_.ClusterSize}, length)) {
            return;
        }
        if (run.sparse || !run.valid || MulOverflows(run.lcn, std::int64_t{geometry_.ClusterSize}, position)) {
            pending_.clear();  // a hole: no block runs across it
            continue;
        }
        for (std::int64_t done = 0; done < length && budget > 0;) {
            const auto want = static_cast<std::size_t>(std::min<std::int64_t>({length - done, budget,
                                                                                 std::int64_t{kChunk}}));
            const std::size_t held = pending_.size();
            pending_.resize(held + want);
            std::int64_t at;
            if (AddOverflows(position, done, at)) return;
            const std::size_t got = volume_.ReadAt(at, MutableByteSpan(pending_.data() + held, want));
            pending_.resize(held + got);
            walk();
            if (got < want) return;  // the volume ends, or the device failed: the rest is not believed
            done += static_cast<std::int64_t>(got);
            budget -= static_cast<std::int64_t>(got);
        }
        if (budget <= 0) return;
    }
}

bool VolumeMemory::IsJournalRecord(ByteSpan record) {
    const ByteSpan name = FindAttribute(record, layout::attr::kFileName, true);
    const auto parent = ReadParentReference(name);
    const auto units = ReadFileNameUnits(name);
    return parent && units && SplitFileReference(*parent).record == kExtendRecord && *units == u"$UsnJrnl";
}

std::vector<JournalName> VolumeMemory::ReadJournal() {
    JournalNames names;
    if (!reader_ || !journal_record_) return names.Take();
    std::vector<std::uint8_t> record(geometry_.RecordSize);
    if (!reader_->Read(*journal_record_, record) || !ApplyFixups(record)) return names.Take();
    const ByteSpan stream = FindNamedAttribute(record, layout::attr::kData, u"$J");
    const auto extent = IsNonResident(stream) ? ReadNonResidentExtent(stream) : std::nullopt;
    const auto runs = extent ? ReadRunList(stream, *extent) : std::nullopt;
    if (!runs) return names.Take();
    // The stretches that hold records, on the volume; the sparse start
    // (records the journal has let go) holds none.
    struct Stretch {
        std::int64_t position, length;
    };
    std::vector<Stretch> stretches;
    for (const Run& run : runs->runs) {
        std::int64_t position, length;
        if (run.clusters > static_cast<std::uint64_t>(INT64_MAX) ||
            MulOverflows(static_cast<std::int64_t>(run.clusters), std::int64_t{geometry_.ClusterSize}, length))
            break;
        if (run.sparse || !run.valid || MulOverflows(run.lcn, std::int64_t{geometry_.ClusterSize}, position)) continue;
        stretches.push_back({position, length});
    }
    // The newest records lie last: at most kMostJournal bytes from the end.
    std::int64_t left = kMostJournal;
    std::size_t first = stretches.size();
    while (first > 0 && left > 0) left -= stretches[--first].length;
    if (left < 0) {
        // The older pages of the first stretch kept are passed over.
        const std::int64_t skipped = -left / kJournalPage * kJournalPage;
        if (AddOverflows(stretches[first].position, skipped, stretches[first].position)) return names.Take();
        stretches[first].length -= skipped;
    }
    std::vector<std::uint8_t> bytes;
    for (std::size_t s = first; s < stretches.size(); ++s) {
        bytes.clear();  // a run's end ends the journal's pages there
        for (std::int64_t done = 0; done < stretches[s].length;) {
            const auto want = static_cast<std::size_t>(std::min<std::int64_t>(stretches[s].length - done, kChunk));
            const std::size_t held = bytes.size();
            bytes.resize(held + want);
            std::int64_t at;
            if (AddOverflows(stretches[s].position, done, at)) break;
            const std::size_t got = volume_.ReadAt(at, MutableByteSpan(bytes.data() + held, want));
            bytes.resize(held + got);
            const std::size_t cut = ForEachUsnRecord(bytes, [&](const UsnRecord& r) { names.Add(r); });
            bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
            if (got < want) break;
            done += static_cast<std::int64_t>(got);
        }
    }
    return names.Take();
}

bool VolumeMemory::StillHeld(std::uint64_t reference) {
    if (!reader_) return false;
    const FileReference split = SplitFileReference(reference);
    std::vector<std::uint8_t> record(geometry_.RecordSize);
    if (split.record >= reader_->ReadableLimit() || !reader_->Read(split.record, record)) return false;
    const auto flags = read_le16(record, layout::record::kFlags);
    const auto sequence = read_le16(record, layout::record::kSequenceNumber);
    return HasFileSignature(record) && flags && sequence && (*flags & layout::record::kFlagInUse) != 0 &&
           *sequence == split.sequence;
}

}  // namespace verandol
