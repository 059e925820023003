// A listed file's record read back and its data made ready to stream: what
// a recovery writes to a file and a preview holds in memory alike.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "disk/found_geometry.h"
#include "ntfs/byte_source.h"
#include "ntfs/geometry.h"
#include "ntfs/mft_map.h"
#include "ntfs/outcome.h"
#include "recover/data_layout.h"
#include "recover/data_writer.h"

namespace verandol {

// The record at a row's position, repaired by its fixups.
struct ListedRecord {
    std::vector<std::uint8_t> record;
    std::optional<std::int64_t> index;  // its number, when the MFT's map knows it
    bool in_use = false;                // a file still in use, accepted because asked for
};

// The position a row's caption names ("0x" and hexadecimal).
Outcome<std::int64_t> ParseRowPosition(std::string_view position_text);

// The record of a row of the MFT walk: read through the MFT's map when the
// position is one of its records, checked to be a deleted file (or, with
// `in_use_too`, a file still in use).
Outcome<ListedRecord> ReadListedRecord(ByteSource& volume, const MftMap& map, std::int64_t position,
                                       const VolumeGeometry& geometry, bool in_use_too);

// The record of a row the deep scan found at `position` within `volume`,
// checked to be a file, deleted or in use, whose data its volume's
// placement lets be read.
Outcome<std::vector<std::uint8_t>> ReadFoundRecord(ByteSource& volume, std::int64_t position,
                                                   const FoundGeometry& found);

// A file's $DATA: its pieces (the record's own, or every piece its
// attribute list leads to) and, unless resident, their cluster map.
struct RecordData {
    std::vector<std::vector<std::uint8_t>> pieces;
    std::optional<DataLayout> layout;
    std::int64_t real_size = 0;
    std::vector<ByteSpan> Spans() const { return {pieces.begin(), pieces.end()}; }
};

// Refuses an extension record, a record without data, an encrypted file
// and a first piece that cannot be read as data. A non-empty `stream` (UTF-8)
// reads the file's named data stream of that name instead of its data.
Outcome<RecordData> ReadRecordData(ByteSource& volume, const MftMap& map, ByteSpan record,
                                   std::optional<std::int64_t> index, const VolumeGeometry& geometry,
                                   std::string_view stream = {});

// Streams the data into `writer` in file order: resident bytes, or stored
// and compressed clusters as their layout places them. False when the
// output failed or the writer asked to end.
bool StreamRecordData(const RecordData& data, std::int64_t cluster_size, std::int64_t volume_size,
                      DataWriter& writer);

}  // namespace verandol
