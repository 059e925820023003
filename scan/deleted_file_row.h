// One deleted file as the list shows it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "carve/carve_check.h"
#include "disk/found_geometry.h"

namespace verandol {

// The six columns' captions, in order, for the window's list and the command
// line's header line alike. They are the product's own texts, spelled as it
// has always spelled them: "Record Positon" is not a typo to mend, since
// scripts read the header line.
inline constexpr std::array<const char*, 6> kDeletedFileColumnCaptions = {
    "Record Positon", "File Name", "File Type", "File Size", "Create Date", "Last Modify Date"};
// The two columns after them: where the file was and how much is left of it.
inline constexpr std::array<const char*, 2> kAddedColumnCaptions = {"Folder", "Recoverable"};
// The column after those when files in use are listed too.
inline constexpr const char* kDeletedColumnCaption = "Deleted";

struct DeletedFileRow {
    std::int64_t position = 0;   // the record's byte position on the volume
    std::string position_text;   // "0x" and upper-case hexadecimal
    std::string name;            // from the file-name attribute, UTF-8
    std::string type;            // the name's extension, "." included
    std::int64_t size = 0;       // data size in bytes
    std::string size_text;       // the size in decimal
    std::uint64_t created_time = 0;   // NTFS times, kept for exact exports
    std::uint64_t modified_time = 0;
    std::string created_text;    // local date-time text, empty when there is none
    std::string modified_text;
    std::uint64_t parent_reference = 0;  // the folder's file reference, from the file name
    // The folder from the root ("/Users/ann", "<lost folder #N>/sub"); the
    // scan fills it in once the walk has seen every folder (ScanEvents::Folders).
    std::string folder;
    // Share of the data's clusters still free, 0 to 100; -1 when unknown.
    int recoverable = kRecoverableUnknown;
    static constexpr int kRecoverableUnknown = -1;
    // False for a file still in use, listed only when the scan is asked for
    // every file (a damaged or found volume's files are copied out too).
    bool deleted = true;
    // Found by reading every sector of the volume rather than by the walk of
    // its MFT; `found` then says which volume's geometry reads its data.
    bool found_deep = false;
    FoundGeometry found;
    // Found by its content in free space, with no record behind it: its
    // bytes are `carved_extent` (the position is its first byte's), its
    // name is made from where it lies, and its content says how whole it is.
    bool carved = false;
    CarvedExtent carved_extent;
    // Where a carved file's name came from: "index", "index slack", "free
    // index block", "journal", "content", or "cluster" for the name made
    // from where it lies. Empty for a row that is not carved.
    std::string named_from;
};

}  // namespace verandol
