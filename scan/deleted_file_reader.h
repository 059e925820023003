// Turns one walked record into a row, when it is a deleted file.
#pragma once

#include <optional>
#include <string_view>

#include "ntfs/attributes.h"
#include "ntfs/byte_reader.h"
#include "scan/deleted_file_row.h"

namespace verandol {

// The row for a file record that has passed its fixups, deleted or in use
// (the walk chooses which it asks for), or nullopt when the record is a
// directory (any flag but in-use set), or lacks one of the
// standard-information, file-name (DOS-only names passed over) and data
// attributes. Extension records (their header names a base record) are parts
// of another file and never make a row.
// `data`, when given, is set to the record's $DATA for the caller's own use.
std::optional<DeletedFileRow> ReadDeletedFileRow(ByteSpan record, std::int64_t position, ByteSpan* data = nullptr);

// The row's texts from the values found, wherever they were found.
DeletedFileRow MakeDeletedFileRow(std::int64_t position, std::u16string_view units, std::int64_t size,
                                  const StandardTimes& times);

}  // namespace verandol
