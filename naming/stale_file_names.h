// Copies of $FILE_NAME left in slack: past the live entries of a folder's
// index block, or past the attributes in use of an MFT record (the entries
// of a folder's index from before it grew out of the record, or the name of
// a file the record held before). What was written over them often took the
// entry's header and the value's first fields, and left the sizes, the
// times and the name; so the value itself is looked for, on the 8-byte
// boundaries entries and attributes lie on, and judged by its own fields.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "deep/index_names.h"
#include "ntfs/byte_reader.h"

namespace verandol {

// Every name a $FILE_NAME copy in bytes[from, to) still holds, handed to
// `take` with from_slack set; `units` holds the name during the call.
// A copy may begin up to its sizes' offset before `from` (the live bytes
// took its head): its fields that lie before `from` are not believed. The
// file reference is given only where an index entry's header around the
// copy still holds together, the parent reference only where it lies in
// the slack; both are 0 otherwise. A copy must carry a data size, a name
// of printable units and no folder flag, and at least one time it holds
// in the slack must be one a volume writes (1980 to 2200); times that are
// not are given as 0. DOS-only names are passed over.
void ForEachStaleFileName(ByteSpan bytes, std::size_t from, std::size_t to, std::u16string& units,
                          const std::function<void(const IndexedNameView&)>& take);

}  // namespace verandol
