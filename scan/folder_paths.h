// The folders of a volume, gathered during the one walk of the MFT, and the
// paths of deleted files resolved from them once the walk is over.
//
// A file's $FILE_NAME names its folder by reference: the folder's record
// number and the sequence number that record had. A deleted folder keeps its
// name and its own parent reference until its record is reused, so chains
// run through deleted folders too. When a record no longer holds the folder
// a reference names, the chain is broken there and the path is shown from a
// "<lost folder #N>" marker rather than through whatever holds it now.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ntfs/byte_reader.h"

namespace verandol {

inline constexpr std::int64_t kRootFolderRecord = 5;
// Deeper chains than this are taken as damage (NTFS paths end long before).
inline constexpr int kMaxFolderDepth = 1024;

// The record number and sequence number a file reference packs into 64 bits.
struct FileReference {
    std::int64_t record = 0;
    std::uint16_t sequence = 0;
};
FileReference SplitFileReference(std::uint64_t reference);

// The parent reference of a $FILE_NAME copy, nullopt when it is cut short.
std::optional<std::uint64_t> ReadParentReference(ByteSpan file_name);

// "<lost folder #1234>".
std::string LostFolderMarker(std::int64_t record);
// What a path shows from where a folder's record could not be read.
inline constexpr const char* kUnreadableFolderMarker = "<unreadable folder>";

class FolderPaths {
public:
    // True for a record the walk should hand to NoteFolder: a directory,
    // in use or not. Looks only at the header, before the fixups.
    static bool IsFolderRecord(ByteSpan record);

    // Remembers a folder record (after its fixups); the first one noted for
    // a record number is kept. One without a usable name is passed over.
    void NoteFolder(std::int64_t record_number, ByteSpan record);

    // A record the device could not deliver: a chain that needs it ends in
    // kUnreadableFolderMarker rather than a lost folder, since nothing says
    // the folder is gone.
    void NoteUnreadable(std::int64_t record_number);

    // Takes over the folders `other` noted (another piece of the same MFT,
    // joined late); where both noted a record number, this one's is kept.
    void Absorb(FolderPaths&& other);

    // The folder a reference names, from the root: "/" for the root,
    // "/Users/ann", or "<lost folder #N>/sub" when the chain breaks.
    std::string PathOf(std::uint64_t parent_reference);

    std::size_t FolderCount() const { return folders_.size(); }

    // True when a folder noted here is the one `reference` names.
    bool Holds(std::uint64_t reference) { return Find(SplitFileReference(reference)) != nullptr; }

private:
    struct Folder {
        std::int64_t record = 0;
        std::uint16_t sequence = 0;
        bool in_use = false;
        std::uint64_t parent = 0;
        std::string name;
        std::string path;  // filled once resolved
        enum class State : std::uint8_t { Unresolved, Resolving, Resolved } state = State::Unresolved;
    };
    // The folder a reference names, or null when no folder record matches it.
    Folder* Find(FileReference reference);
    // Where a chain that cannot go past `record` begins.
    std::string MarkerFor(std::int64_t record) const;
    void Resolve(Folder& start);

    std::vector<Folder> folders_;  // ascending by record number
    std::vector<std::int64_t> unreadable_;  // ascending
};

}  // namespace verandol
