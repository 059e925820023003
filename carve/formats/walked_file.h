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
};

// Nullopt: the bytes only look like the format's start; nothing is a file there.
using WalkResult = std::optional<WalkedFile>;

}  // namespace verandol
