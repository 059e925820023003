// The first bytes of a listed file, read from the volume into memory the
// way a recovery reads them, for a look at a file before it is recovered.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "disk/published_geometry.h"
#include "ntfs/byte_source.h"
#include "recover/recovery_step.h"

namespace verandol {

struct RowStart {
    // The file's first bytes, at most the limit asked for; zeros where the
    // file has a hole or where its data could not be had.
    std::vector<std::uint8_t> bytes;
    std::int64_t size = 0;  // the whole file's size
    // Set when nothing could be read: why, as a recovery would say it.
    std::string refusal;
    // What of `bytes` could not be had (they are zeros); empty when whole.
    std::string missing;
};

// Reads up to `limit` bytes from the start of `row` (a record of the walk
// of `source`'s MFT, a record the deep scan found, or a carved extent) from
// `volume`, `source`'s volume opened. Nothing past the limit is read.
// `stop` is polled between pieces; a stop leaves what was read so far.
RowStart ReadRowStart(ByteSource& volume, const PublishedGeometry& source, const RecoveryRequest& row,
                      std::size_t limit, const std::atomic<bool>* stop = nullptr);

}  // namespace verandol
