#include "scan/folder_paths.h"

#include <algorithm>
#include <iterator>

#include "ntfs/attributes.h"
#include "ntfs/fixups.h"
#include "ntfs/layout.h"
#include "text/record_texts.h"

namespace verandol {

namespace {

// The sequence number NTFS gives a record when it frees it: one more,
// skipping zero.
std::uint16_t NextSequence(std::uint16_t sequence) {
    return sequence == 0xFFFF ? 1 : static_cast<std::uint16_t>(sequence + 1);
}

}  // namespace

FileReference SplitFileReference(std::uint64_t reference) {
    return {static_cast<std::int64_t>(reference & 0xFFFFFFFFFFFFull), static_cast<std::uint16_t>(reference >> 48)};
}

std::optional<std::uint64_t> ReadParentReference(ByteSpan file_name) {
    return read_le64(file_name, layout::file_name::kParentReference);
}

std::string LostFolderMarker(std::int64_t record) { return "<lost folder #" + std::to_string(record) + ">"; }

bool FolderPaths::IsFolderRecord(ByteSpan record) {
    auto flags = read_le16(record, layout::record::kFlags);
    return HasFileSignature(record) && flags && (*flags & layout::record::kFlagDirectory) != 0;
}

void FolderPaths::NoteFolder(std::int64_t record_number, ByteSpan record) {
    ByteSpan file_name = FindAttribute(record, layout::attr::kFileName, true);
    auto parent = ReadParentReference(file_name);
    auto units = ReadFileNameUnits(file_name);
    auto sequence = read_le16(record, layout::record::kSequenceNumber);
    auto flags = read_le16(record, layout::record::kFlags);
    if (!parent || !units || !sequence || !flags) return;
    // The walk hands records over in ascending order; a pass over the whole
    // volume meets an MFT's pieces in the order they lie on it.
    auto place = folders_.end();
    if (!folders_.empty() && folders_.back().record >= record_number) {
        place = std::lower_bound(folders_.begin(), folders_.end(), record_number,
                                 [](const Folder& f, std::int64_t number) { return f.record < number; });
        if (place->record == record_number) return;
    }
    Folder folder;
    folder.record = record_number;
    folder.sequence = *sequence;
    folder.in_use = (*flags & layout::record::kFlagInUse) != 0;
    folder.parent = *parent;
    folder.name = Utf16ToUtf8(*units);
    // A path's components are split at "/", which no NTFS name may hold.
    std::replace(folder.name.begin(), folder.name.end(), '/', '_');
    folders_.insert(place, std::move(folder));
}

void FolderPaths::NoteUnreadable(std::int64_t record_number) {
    auto place = std::lower_bound(unreadable_.begin(), unreadable_.end(), record_number);
    if (place == unreadable_.end() || *place != record_number) unreadable_.insert(place, record_number);
}

std::string FolderPaths::MarkerFor(std::int64_t record) const {
    if (std::binary_search(unreadable_.begin(), unreadable_.end(), record)) return kUnreadableFolderMarker;
    return LostFolderMarker(record);
}

void FolderPaths::Absorb(FolderPaths&& other) {
    std::vector<Folder> merged;
    merged.reserve(folders_.size() + other.folders_.size());
    const auto by_record = [](const Folder& a, const Folder& b) { return a.record < b.record; };
    std::set_union(std::make_move_iterator(folders_.begin()), std::make_move_iterator(folders_.end()),
                   std::make_move_iterator(other.folders_.begin()), std::make_move_iterator(other.folders_.end()),
                   std::back_inserter(merged), by_record);
    folders_ = std::move(merged);
    other.folders_.clear();
    for (std::int64_t record : other.unreadable_) NoteUnreadable(record);
    other.unreadable_.clear();
    // Paths resolved before the join may have stopped at a folder the other piece held.
    for (Folder& folder : folders_) {
        folder.path.clear();
        folder.state = Folder::State::Unresolved;
    }
}

FolderPaths::Folder* FolderPaths::Find(FileReference reference) {
    auto found = std::lower_bound(folders_.begin(), folders_.end(), reference.record,
                                  [](const Folder& f, std::int64_t record) { return f.record < record; });
    if (found == folders_.end() || found->record != reference.record) return nullptr;
    // Sequence 0 in a reference means "not checked". A folder freed since
    // the file was deleted carries the next number; one in use again under a
    // new number is some other folder.
    if (reference.sequence == 0 || found->sequence == reference.sequence) return &*found;
    if (!found->in_use && found->sequence == NextSequence(reference.sequence)) return &*found;
    return nullptr;
}

void FolderPaths::Resolve(Folder& start) {
    std::vector<Folder*> chain{&start};
    start.state = Folder::State::Resolving;
    std::string base;
    for (;;) {
        const FileReference up = SplitFileReference(chain.back()->parent);
        if (up.record == kRootFolderRecord) break;
        Folder* parent = Find(up);
        if (parent && parent->state == Folder::State::Resolved) {
            base = parent->path;
            break;
        }
        // Unknown, a cycle, or deeper than any real volume: the chain ends here.
        if (!parent || parent->state == Folder::State::Resolving ||
            chain.size() >= static_cast<std::size_t>(kMaxFolderDepth)) {
            base = MarkerFor(up.record);
            break;
        }
        parent->state = Folder::State::Resolving;
        chain.push_back(parent);
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        (*it)->path = base + "/" + (*it)->name;
        (*it)->state = Folder::State::Resolved;
        base = (*it)->path;
    }
}

std::string FolderPaths::PathOf(std::uint64_t parent_reference) {
    const FileReference reference = SplitFileReference(parent_reference);
    if (reference.record == kRootFolderRecord) return "/";
    Folder* folder = Find(reference);
    if (!folder) return MarkerFor(reference.record);
    if (folder->state != Folder::State::Resolved) Resolve(*folder);
    return folder->path;
}

}  // namespace verandol
