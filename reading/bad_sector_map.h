// The sectors of one device that could not be read in this run. Every pass
// over the device (scan, folders, bitmap, deep scan, search, recovery)
// reads through the same map, so a bad sector costs one failing read in the
// whole run rather than one per pass and per request.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "reading/stretch_set.h"

namespace verandol {

class BadSectorMap {
public:
    void MarkBad(UnreadRange stretch);
    // The first bad stretch that ends after `position`; nullopt when none.
    std::optional<UnreadRange> NextBad(std::int64_t position) const;
    std::vector<UnreadRange> Stretches() const;
    std::int64_t BadBytes() const;
    // Reads of this device that came back short of what they asked.
    void CountFailingRead() { failing_reads_.fetch_add(1, std::memory_order_relaxed); }
    std::uint64_t FailingReads() const { return failing_reads_.load(std::memory_order_relaxed); }

private:
    mutable std::mutex mutex_;
    StretchSet bad_;
    // Set once anything is bad, so a healthy device's reads never take the lock.
    std::atomic<bool> any_{false};
    std::atomic<std::uint64_t> failing_reads_{0};
};

// The run's map of the device or image known by `key` (its path and size):
// every opening of the same device in one run shares it.
std::shared_ptr<BadSectorMap> BadSectorMapOf(const std::string& key);

}  // namespace verandol
