// A set of byte stretches kept ascending, disjoint and merged: the bad
// sectors of a device, or the stretches one pass could not be given.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "ntfs/byte_source.h"

namespace verandol {

class StretchSet {
public:
    // Adds [position, position + length); stretches that touch or overlap
    // become one. Empty or negative stretches add nothing.
    void Add(UnreadRange stretch);
    // The first stretch that ends after `position` (it may hold `position`).
    std::optional<UnreadRange> NextFrom(std::int64_t position) const;
    std::vector<UnreadRange> All() const;
    std::int64_t Bytes() const;
    bool Empty() const { return ends_.empty(); }

private:
    std::map<std::int64_t, std::int64_t> ends_;  // first byte -> one past the last
};

}  // namespace verandol
