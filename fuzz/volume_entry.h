#pragma once

#include <string>

#include "ntfs/byte_reader.h"

namespace verandol::fuzz {

// Any bytes as a whole volume image: the scan, then the recovery of every
// listed file of at most kMaxRecoveredBytes into `output_folder`, which must
// exist and is emptied again before returning.
void FuzzVolume(ByteSpan input, const std::string& output_folder);

// True when a recovery's temporary file is left in `folder`.
bool HoldsTemporaryFile(const std::string& folder);

// Larger rows are skipped so one input cannot fill the disk.
inline constexpr std::int64_t kMaxRecoveredBytes = 8 << 20;

}  // namespace verandol::fuzz
