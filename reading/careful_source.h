// The one reading layer between every pass and a device that may be
// failing.
//
// A read the device cannot complete is not given up whole: the layer goes
// on sector by sector from where the device stopped, serves every sector
// that reads, and zeroes and reports the ones that do not. A sector that
// failed goes into the run's bad-sector map and is never asked of the device
// again: a disk that spends seconds on each failing read would otherwise
// spend hours on one bad spot that every pass crosses. After a fault the
// reads grow again from one sector, doubling while they succeed, so a device
// that fails a whole request for one bad sector in it still costs only a
// few failing reads to pin the sector down.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "ntfs/byte_source.h"
#include "reading/bad_sector_map.h"
#include "reading/stretch_set.h"

namespace verandol {

struct ReadPolicy {
    std::int64_t sector_size = 512;  // the unit a device fails in
    int retries = 0;                 // further tries of a sector that failed once
};

// The policy every opening in this run starts with; the command line sets
// it once before it opens anything.
ReadPolicy RunReadPolicy();
void SetRunReadPolicy(ReadPolicy policy);

class CarefulSource final : public ByteSource {
public:
    CarefulSource(std::shared_ptr<ByteSource> device, std::shared_ptr<BadSectorMap> map,
                  ReadPolicy policy = RunReadPolicy());

    // Stops at the first byte that could not be read, as a device does; the
    // bytes past it are not delivered.
    std::size_t ReadAt(std::int64_t position, MutableByteSpan out) override;
    std::size_t ReadAround(std::int64_t position, MutableByteSpan out, std::vector<UnreadRange>& unread) override;
    std::int64_t Size() const override { return device_->Size(); }
    void ExpectSequentialReads() override { device_->ExpectSequentialReads(); }
    void DoneWith(std::int64_t position, std::int64_t length) override { device_->DoneWith(position, length); }
    std::vector<UnreadRange> UnreadSoFar() const override;

    const BadSectorMap& Map() const { return *map_; }

private:
    // Zeros `out`'s bytes for [from, to) of the device and reports them.
    void GiveUp(std::int64_t position, MutableByteSpan out, std::int64_t from, std::int64_t to,
                std::vector<UnreadRange>& unread);
    // Tries a sector that failed once again, as often as the policy
    // allows; true once it reads.
    bool Retry(std::int64_t at, MutableByteSpan into);

    std::shared_ptr<ByteSource> device_;
    std::shared_ptr<BadSectorMap> map_;
    ReadPolicy policy_;
    mutable std::mutex met_mutex_;
    StretchSet met_;  // what readers of this source asked for and were not given
};

}  // namespace verandol
