// The JPEG scan check as it first stood: a byte at a time into the bit
// accumulator and codes found length by length. Slow and plain, it is what
// the fast checker must agree with on every input.
#pragma once

#include <cstdint>
#include <optional>

#include "carve/formats/jpeg_scan.h"

namespace verandol::fuzz {

std::optional<std::int64_t> ReferenceSequentialScan(CarveReader& in, std::int64_t at, const JpegFrame& frame,
                                                    const JpegScan& scan, const JpegTables& tables,
                                                    std::int64_t* failed_at = nullptr);

}  // namespace verandol::fuzz
