#include "reading/careful_source.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace verandol {

namespace {

std::atomic<std::int64_t> run_sector_size{512};
std::atomic<int> run_retries{0};

// After a fault, how far the layer reads sector by sector, and how large
// the growing reads past that become before it reads as asked again.
constexpr std::int64_t kCarefulBytes = 256 * 1024;
constexpr std::int64_t kSettledBytes = 1024 * 1024;

}  // namespace

ReadPolicy RunReadPolicy() { return {run_sector_size.load(), run_retries.load()}; }

void SetRunReadPolicy(ReadPolicy policy) {
    run_sector_size.store(policy.sector_size > 0 ? policy.sector_size : 512);
    run_retries.store(std::max(policy.retries, 0));
}

CarefulSource::CarefulSource(std::shared_ptr<ByteSource> device, std::shared_ptr<BadSectorMap> map,
                             ReadPolicy policy)
    : device_(std::move(device)), map_(std::move(map)), policy_(policy) {
    if (policy_.sector_size <= 0) policy_.sector_size = 512;
    policy_.retries = std::max(policy_.retries, 0);
}

std::size_t CarefulSource::ReadAt(std::int64_t position, MutableByteSpan out) {
    std::vector<UnreadRange> unread;
    const std::size_t got = ReadAround(position, out, unread);
    if (unread.empty()) return got;
    return static_cast<std::size_t>(unread.front().position - position);
}

void CarefulSource::GiveUp(std::int64_t position, MutableByteSpan out, std::int64_t from, std::int64_t to,
                           std::vector<UnreadRange>& unread) {
    std::memset(out.data() + (from - position), 0, static_cast<std::size_t>(to - from));
    if (!unread.empty() && unread.back().End() == from)
        unread.back().length += to - from;
    else
        unread.push_back({from, to - from});
    std::lock_guard lock(met_mutex_);
    met_.Add({from, to - from});
}

bool CarefulSource::Retry(std::int64_t at, MutableByteSpan into) {
    for (int attempt = 0; attempt < policy_.retries; ++attempt) {
        if (device_->ReadAt(at, into) == into.size()) return true;
        map_->CountFailingRead();
    }
    return false;
}

std::size_t CarefulSource::ReadAround(std::int64_t position, MutableByteSpan out, std::vector<UnreadRange>& unread) {
    const std::int64_t size = device_->Size();
    if (position < 0 || position >= size || out.empty()) return 0;
    const std::int64_t end =
        position + static_cast<std::int64_t>(std::min<std::uint64_t>(out.size(), static_cast<std::uint64_t>(size - position)));
    const std::int64_t sector = policy_.sector_size;
    const auto sector_start = [&](std::int64_t at) { return at - at % sector; };
    const auto sector_end = [&](std::int64_t at) { return std::min(sector_start(at) + sector, size); };

    std::int64_t at = position;
    // After a fault: up to here the layer reads one sector at a time, so a
    // bad sector costs one failing read whether the device stops at it or
    // fails the whole request around it; past it reads grow from two sectors,
    // doubling while they succeed. 0 reads all that is asked.
    std::int64_t careful_end = 0;
    std::int64_t span = 0;
    while (at < end) {
        const std::optional<UnreadRange> bad = map_->NextBad(at);
        if (bad && bad->position <= at) {
            const std::int64_t to = std::min(bad->End(), end);
            GiveUp(position, out, at, to, unread);
            at = to;
            continue;
        }
        std::int64_t limit = bad ? std::min(bad->position, end) : end;
        if (at < careful_end)
            limit = std::min(limit, sector_end(at));
        else if (span > 0)
            limit = std::min(limit, std::max(sector_start(at) + span, sector_end(at)));
        const bool one_sector = limit <= sector_end(at);
        const auto want = static_cast<std::size_t>(limit - at);
        const std::size_t got = device_->ReadAt(at, out.subspan(static_cast<std::size_t>(at - position), want));
        at += static_cast<std::int64_t>(std::min(got, want));
        if (got >= want) {
            if (at >= careful_end && span > 0) span = span * 2 >= kSettledBytes ? 0 : span * 2;
            continue;
        }
        map_->CountFailingRead();
        if (!one_sector) {
            careful_end = std::max(careful_end, std::min(limit, sector_start(at) + kCarefulBytes));
            span = sector;
            continue;
        }
        const std::int64_t to = std::min(sector_end(at), end);
        if (Retry(at, out.subspan(static_cast<std::size_t>(at - position), static_cast<std::size_t>(to - at)))) {
            at = to;
            continue;
        }
        map_->MarkBad({sector_start(at), sector_end(at) - sector_start(at)});
        GiveUp(position, out, at, to, unread);
        at = to;
    }
    return static_cast<std::size_t>(end - position);
}

std::vector<UnreadRange> CarefulSource::UnreadSoFar() const {
    std::lock_guard lock(met_mutex_);
    return met_.All();
}

}  // namespace verandol
