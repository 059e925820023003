// File names from a folder's index blocks ($I30 "INDX" blocks).
//
// Every entry of a folder index holds a copy of the file's $FILE_NAME: its
// name and its folder. When a file's record has lost its own $FILE_NAME, an
// entry that references the record still names it. Entries of files removed
// from the folder linger in the block's slack, past the bytes in use, until
// they are written over, so the slack is read too.
#pragma once

#include <cstdint>
#include <optional>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ntfs/byte_reader.h"

namespace verandol {

// What an entry's copy of $FILE_NAME said of the file when the entry was
// last written: a folder's index is not told of every later change, so the
// figures may lag behind the file's own record.
struct IndexedFigures {
    std::int64_t data_size = 0;
    std::int64_t allocated_size = 0;
    std::uint64_t created_time = 0;
    std::uint64_t modified_time = 0;
};

struct IndexedName {
    std::uint64_t file_reference = 0;    // the named file's record (48 bits) and sequence (16)
    std::uint64_t parent_reference = 0;  // its folder, as in $FILE_NAME
    std::u16string name;
    bool from_slack = false;
    IndexedFigures figures;
};

// How many bytes an index block beginning at the start of `bytes` claims (one
// update sequence entry per 512 bytes, a power of two up to 64 KiB), or
// nullopt when the bytes do not begin one.
std::optional<std::size_t> IndexBlockSize(ByteSpan bytes);

// The names the block at the start of `bytes` holds, live entries first,
// then those found in its slack; DOS-only names and entries of the file
// system's own records (below 16) are passed over. Nothing when the block
// fails its fixups; an entry that does not hold together ends the live walk
// and is skipped in the slack.
std::vector<IndexedName> ReadIndexBlockNames(ByteSpan bytes);

// One name as ReadIndexBlockNames would list it, valid during the call it is
// handed to.
struct IndexedNameView {
    std::uint64_t file_reference = 0;
    std::uint64_t parent_reference = 0;
    std::u16string_view name;
    bool from_slack = false;
    IndexedFigures figures;
};

// The block's slack: the block after its fixups, and where the slack
// begins (the end of the live entries, rounded up to 8) and ends.
using IndexSlackReader = std::function<void(ByteSpan block, std::size_t from, std::size_t to)>;

// The same names, in the same order, handed to `take` one by one; `scratch`
// holds the block's copy and `units` the name being read. A pass meeting
// thousands of blocks reuses both rather than allocating for every name.
// With `slack`, the slack is handed to it rather than walked entry by entry.
void ForEachIndexBlockName(ByteSpan bytes, std::vector<std::uint8_t>& scratch, std::u16string& units,
                           const std::function<void(const IndexedNameView&)>& take,
                           const IndexSlackReader& slack = {});

}  // namespace verandol
