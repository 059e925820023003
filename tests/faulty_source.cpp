#include "tests/faulty_source.h"

#include <algorithm>

namespace verandol::testing {

bool FaultySource::Bad(std::int64_t sector_index) {
    const std::int64_t at = sector_index * sector_;
    for (const UnreadRange& r : bad_)
        if (at < r.End() && r.position < at + sector_) return true;
    return false;
}

std::size_t FaultySource::ReadAt(std::int64_t position, MutableByteSpan out) {
    if (position < 0 || position >= Size() || out.empty()) return 0;
    const std::int64_t end = std::min<std::int64_t>(position + static_cast<std::int64_t>(out.size()), Size());
    std::int64_t first_bad = -1;
    // A device reads up to the first sector it cannot.
    for (std::int64_t s = position / sector_; s * sector_ < end && first_bad < 0; ++s) {
        ++reads_[s];
        auto transient = transient_.find(s);
        const bool fails_now = transient != transient_.end() && transient->second > 0;
        if (fails_now) --transient->second;
        if (first_bad < 0 && (fails_now || Bad(s))) first_bad = std::max(s * sector_, position);
    }
    if (first_bad < 0) return image_.ReadAt(position, out);
    ++failing_reads_;
    if (style_ == Style::WholeRequest || first_bad == position) return 0;
    return image_.ReadAt(position, out.first(static_cast<std::size_t>(first_bad - position)));
}

int FaultySource::ReadsOfSector(std::int64_t position) const {
    auto found = reads_.find(position / sector_);
    return found == reads_.end() ? 0 : found->second;
}

int FaultySource::MostReadsOfABadSector() const {
    int most = 0;
    for (const UnreadRange& r : bad_)
        for (std::int64_t at = r.position - r.position % sector_; at < r.End(); at += sector_)
            most = std::max(most, ReadsOfSector(at));
    return most;
}

}  // namespace verandol::testing
