#include "reading/stretch_set.h"

#include <algorithm>

#include "ntfs/checked_math.h"

namespace verandol {

void StretchSet::Add(UnreadRange stretch) {
    std::int64_t begin = stretch.position;
    std::int64_t end = 0;
    if (stretch.length <= 0 || begin < 0 || AddOverflows(begin, stretch.length, end)) return;
    // Start from the last stretch that begins at or before `begin`: it may reach into the new one.
    auto it = ends_.upper_bound(begin);
    if (it != ends_.begin() && std::prev(it)->second >= begin) --it;
    while (it != ends_.end() && it->first <= end) {
        begin = std::min(begin, it->first);
        end = std::max(end, it->second);
        it = ends_.erase(it);
    }
    ends_.emplace(begin, end);
}

std::optional<UnreadRange> StretchSet::NextFrom(std::int64_t position) const {
    auto it = ends_.upper_bound(position);
    if (it != ends_.begin() && std::prev(it)->second > position) --it;
    if (it == ends_.end()) return std::nullopt;
    return UnreadRange{it->first, it->second - it->first};
}

std::vector<UnreadRange> StretchSet::All() const {
    std::vector<UnreadRange> all;
    all.reserve(ends_.size());
    for (const auto& [begin, end] : ends_) all.push_back({begin, end - begin});
    return all;
}

std::int64_t StretchSet::Bytes() const {
    std::int64_t total = 0;
    for (const auto& [begin, end] : ends_) total = SaturatingAdd(total, end - begin);
    return total;
}

}  // namespace verandol
