// What the live volume remembers of files it no longer holds: the names in
// its folders' index blocks (read along each folder's $INDEX_ALLOCATION) and
// in the slack of its MFT records, the paths of its folders, and whether a
// record still holds the file an old reference names.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "disk/published_geometry.h"
#include "naming/remembered_files.h"
#include "naming/usn_records.h"
#include "ntfs/byte_source.h"
#include "scan/folder_paths.h"
#include "scan/mft_record_reader.h"

namespace verandol {

class VolumeMemory {
public:
    // Nothing is read yet; without a geometry and an MFT map there is
    // nothing to read, and every reference counts as no longer held.
    VolumeMemory(ByteSource& volume, const PublishedGeometry& published);

    // One walk of the MFT: every folder record's paths and index blocks,
    // every record's slack, and where the change journal's record lies.
    // `stop` (optional) is polled before each record.
    void ReadFolders(const std::function<bool()>& stop = {});

    // The names in the change journal's $J stream (its newest 64 MiB),
    // once ReadFolders has found its record; none without one.
    std::vector<JournalName> ReadJournal();

    // The names of an index block met in free clusters.
    void AddFreeIndexBlock(ByteSpan bytes) { remembered_.AddIndexBlock(bytes, NamedFrom::FreeIndexBlock); }

    // True when the record `reference` names is in use with the sequence
    // the reference carries: the file it names still exists there.
    bool StillHeld(std::uint64_t reference);

    RememberedFiles& Remembered() { return remembered_; }
    std::string PathOf(std::uint64_t parent_reference) { return folders_.PathOf(parent_reference); }

private:
    // `folder`: the reference of the folder whose record this is.
    void ReadIndexAllocation(ByteSpan record, std::uint64_t folder);
    static std::uint64_t ReferenceOf(std::int64_t number, ByteSpan record);
    // The names left past the bytes in use of record `number` (after its fixups).
    void ReadRecordSlack(std::int64_t number, ByteSpan record);
    // Once every folder is known: a stale copy whose parent reference names
    // none takes the folder it was found in, or none.
    void MendStaleParents();
    // True for the record of $Extend's $UsnJrnl (after its fixups).
    static bool IsJournalRecord(ByteSpan record);

    ByteSource& volume_;
    VolumeGeometry geometry_;
    std::unique_ptr<MftRecordReader> reader_;  // null without an MFT map
    RememberedFiles remembered_;
    FolderPaths folders_;
    std::vector<std::uint8_t> pending_;  // allocation bytes not yet walked
    std::optional<std::int64_t> journal_record_;
    // Names kept from one folder's record or index blocks: remembered files
    // [first, end) were found in the folder `folder` names (0: in no folder).
    struct FoundIn {
        std::size_t first = 0, end = 0;
        std::uint64_t folder = 0;
    };
    std::vector<FoundIn> found_in_;
};

}  // namespace verandol
