// What a format walker makes of the bytes at a file start.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "carve/carve_check.h"

namespace verandol {

struct WalkedFile {
    std::int64_t length = 0;  // bytes from the start to the file's end, as far as it could be followed
    CarveCheck check = CarveCheck::Incomplete;
    std::string extension;  // without the dot; empty for the format's own
    // For an incomplete file whose structure held up to a point and then
    // stopped: its bytes held the structure up to `held_to` and no longer
    // by `broke_at`, so a piece of the file may be missing from a cluster
    // boundary between the two on (another file's clusters between its
    // two pieces). -1 when the walk cannot tell.
    std::int64_t held_to = -1;
    std::int64_t broke_at = -1;
};

// Nullopt: the bytes only look like the format's start; nothing is a file there.
using WalkResult = std::optional<WalkedFile>;

}  // namespace verandol
