// One pass over a device from start to end that notes every sector passing
// the boot-sector check: large sequential reads, advised as such, and
// dropped from the page cache behind the pass.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "ntfs/byte_source.h"
#include "ntfs/outcome.h"
#include "rescue/boot_candidate.h"
#include "rescue/volume_search.h"

namespace verandol {

struct BootSighting {
    std::int64_t position = 0;
    BootCandidate boot;
};

// Every boot sector on `source`, in order; those before the stop when
// stopped. With `enough`, the pass ends at the first sighting it accepts.
// Refused only when the pass cannot get memory for its reads.
Outcome<std::vector<BootSighting>> SweepBootSectors(
    ByteSource& source, SearchProgress& progress,
    const std::function<bool(const BootSighting&)>& enough = {});

}  // namespace verandol
