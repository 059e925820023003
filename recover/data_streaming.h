// Writing a file's non-resident data out along its cluster map.
#pragma once

#include <cstdint>

#include "recover/data_layout.h"
#include "recover/data_writer.h"

namespace verandol {

// Writes the real size's bytes in file order: stored clusters copied, holes
// as zeros, and zeros from the valid size on whatever the clusters hold.
// Valid data that no run covers, or that lies outside the volume, is zeros
// and noted as missing. False when the output failed or a stop was asked for.
bool WriteStoredData(const DataLayout& layout, std::int64_t cluster_size, std::int64_t volume_size,
                     DataWriter& writer);

// The same for a compressed file, one compression unit at a time: a unit
// whose clusters are all stored is copied, one without stored clusters is
// zeros, and one whose stored clusters are followed by a hole is LZNT1 data,
// decompressed. A unit that cannot be read or decompressed is zeros and
// noted as missing. Memory stays at two unit buffers.
bool WriteCompressedData(const DataLayout& layout, std::int64_t cluster_size, std::int64_t volume_size,
                         DataWriter& writer);

}  // namespace verandol
