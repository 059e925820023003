// The row for a file record found by reading the whole volume.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "deep/found_record.h"
#include "disk/found_geometry.h"
#include "ntfs/byte_source.h"
#include "ntfs/cluster_bitmap.h"
#include "scan/deleted_file_row.h"

namespace verandol {

struct FoundFile {
    DeletedFileRow row;
    bool named = false;    // the name came from the record's own $FILE_NAME
    bool in_use = false;   // in use when its volume last wrote it
};

// The row for `record` (fixups applied; its flags word is changed here),
// found at `position` of `volume`, read with `found`'s geometry. Unlike the
// walk's rows, a record its volume still had in use is listed, and one whose
// name is gone is listed without a name, as long as its times and its data
// can be had. `bitmap`, the one `found.judge` names (the present volume's,
// or that of a volume found on it), judges which of its clusters are taken
// now; without it the share stays unknown. Nullopt for folders, extension
// records and records without a usable $STANDARD_INFORMATION or $DATA.
std::optional<FoundFile> ReadFoundFile(ByteSource& volume, const FoundGeometry& found, const FoundRecordHeader& header,
                                       std::vector<std::uint8_t>& record, std::int64_t position,
                                       ClusterBitmap* bitmap);

}  // namespace verandol
