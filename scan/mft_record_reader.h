// Reads MFT records by index along the run list of record 0's $DATA.
//
// A long-used volume keeps its MFT in several pieces; reading one stretch
// from the first piece would miss every record past it and parse foreign data
// as records. Records are read in chunks of many records at once, since a
// million single-record reads cost far more than parsing them.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "ntfs/geometry.h"
#include "ntfs/mft_map.h"
#include "ntfs/run_list.h"
#include "ntfs/byte_source.h"

namespace verandol {

class MftRecordReader {
public:
    MftRecordReader(ByteSource& volume, const VolumeGeometry& geometry, const std::vector<Run>& runs);

    // Fills `record` (RecordSize bytes) with record `index` and returns the
    // byte position of its first byte on the volume; nullopt when the record
    // is not mapped by the run list or the volume delivers fewer bytes.
    std::optional<std::int64_t> Read(std::int64_t index, MutableByteSpan record);

    // True when the last Read failed because the device could not deliver
    // some of the record's bytes: the record is unreadable, not absent.
    bool LastUnreadable() const { return last_unreadable_; }

    // No record from this index on can be delivered: every readable piece of
    // the MFT ends before it, on the volume or at the volume's end. A damaged
    // record 0 may claim two billion records on a small image; the walk need
    // not try each of them.
    std::int64_t ReadableLimit() const { return readable_limit_; }

    // The map the records are read through; a recovery reads them the same way.
    const MftMap& Map() const { return map_; }

private:
    bool ReadPiece(std::int64_t position, std::int64_t extent_left, MutableByteSpan out);

    ByteSource& volume_;
    MftMap map_;
    std::size_t hint_ = 0;
    std::int64_t readable_limit_ = 0;
    std::vector<std::uint8_t> cache_;
    std::int64_t cache_position_ = 0;
    std::size_t cache_length_ = 0;
    // The cached bytes the device could not deliver (zeros in the cache).
    std::vector<UnreadRange> cache_unread_;
    bool last_unreadable_ = false;
};

}  // namespace verandol
