// Following a base record's attribute list to the attributes kept in its
// extension records.
//
// Only a deleted base record that has an attribute list pays for this: the
// walk of ordinary records never comes here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ntfs/byte_reader.h"
#include "ntfs/geometry.h"
#include "ntfs/mft_map.h"
#include "ntfs/byte_source.h"

namespace verandol {

// True when the record (fixups applied) holds an $ATTRIBUTE_LIST.
bool HasAttributeList(ByteSpan record);

// True when the record is an extension record: its header names a base
// record. Extension records are parts of another file, never files of their own.
bool IsExtensionRecord(ByteSpan record);

struct DataPiece {
    std::int64_t first_vcn = 0;
    std::vector<std::uint8_t> attribute;  // a copy of the $DATA attribute, header included
};

struct ListedAttributes {
    // A copy of the first $FILE_NAME outside the DOS-only namespace; empty
    // when none can be reached.
    std::vector<std::uint8_t> file_name;
    // The unnamed $DATA pieces that were found, in ascending first cluster.
    std::vector<DataPiece> data;
    // Why something listed could not be had (the first such thing); empty
    // when every piece asked for was found.
    std::string reason;
};

enum class DataPieces { First, All };

// Reads the list of `base` (record `base_index`, fixups applied), resident or
// in clusters, and fetches what it points to through the MFT's map. An
// extension record is used only when it passes its fixups and its header
// names `base_index` as its base. With DataPieces::First only the piece that
// starts at cluster 0 is fetched (all a listing needs).
ListedAttributes GatherListedAttributes(ByteSource& volume, const MftMap& map, const VolumeGeometry& geometry,
                                        ByteSpan base, std::int64_t base_index, DataPieces pieces);

}  // namespace verandol
