// Rows for deleted files whose attributes live partly in extension records.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "ntfs/geometry.h"
#include "ntfs/listed_attributes.h"
#include "ntfs/mft_map.h"
#include "ntfs/byte_source.h"
#include "scan/deleted_file_row.h"

namespace verandol {

// The row for a base file record, deleted or in use (fixups applied), that has an attribute
// list: the times from the record itself, the name and the size (from the
// $DATA piece that starts at cluster 0) wherever the list says they are.
// A file whose name can no longer be reached but whose data can is listed
// with an empty name; one whose data cannot be reached is not listed.
// `pieces`, when given, receives every $DATA piece found, in ascending first
// cluster, for the caller's own use.
std::optional<DeletedFileRow> ReadListedFileRow(ByteSource& volume, const MftMap& map, const VolumeGeometry& geometry,
                                                ByteSpan record, std::int64_t index, std::int64_t position,
                                                std::vector<DataPiece>* pieces = nullptr);

}  // namespace verandol
