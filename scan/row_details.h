// What a deleted file's row learns beside its own record: the folder it was
// in and how much of its data is still unclaimed. Both are gathered during
// the one walk of the MFT; the folders can only be resolved once every
// folder record has been seen, so they are handed out at the end.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ntfs/cluster_bitmap.h"
#include "ntfs/listed_attributes.h"
#include "reading/stretch_set.h"
#include "scan/deleted_file_row.h"
#include "scan/folder_paths.h"
#include "scan/mft_record_reader.h"

namespace verandol {

// The cluster bitmap's extent from record 6; nullopt when it cannot be had,
// which leaves every row's estimate unknown rather than hopeful.
std::optional<BitmapExtent> ReadVolumeBitmap(MftRecordReader& reader, const VolumeGeometry& geometry);

class RowDetails {
public:
    RowDetails(ByteSource& volume, const VolumeGeometry& geometry, const std::optional<BitmapExtent>& bitmap);

    // A walked record that FolderPaths::IsFolderRecord accepted, before its fixups.
    void NoteFolder(std::int64_t record_number, MutableByteSpan record);

    // A walked record the device could not deliver.
    void NoteUnreadable(std::int64_t record_number) { folders_.NoteUnreadable(record_number); }

    // Sets the row's recoverable share from its $DATA and remembers its
    // folder reference.
    void Complete(DeletedFileRow& row, ByteSpan data);
    // The same for a file whose $DATA is kept in pieces (attribute lists).
    void Complete(DeletedFileRow& row, const std::vector<DataPiece>& pieces);

    // One folder path per completed row, in the order they were completed.
    std::vector<std::string> TakeFolders();

    // The volume bytes of the clusters the completed deleted rows name:
    // what the carve pass need not search, since a listed row recovers them.
    StretchSet TakeClaimed() { return std::move(claimed_); }

private:
    void Claim(const DeletedFileRow& row, const std::vector<ByteSpan>& data);

    FolderPaths folders_;
    std::optional<ClusterBitmap> bitmap_;
    std::vector<std::uint64_t> parents_;
    std::int64_t cluster_size_;
    StretchSet claimed_;
};

}  // namespace verandol
