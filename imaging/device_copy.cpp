#include "imaging/device_copy.h"

#include <algorithm>

namespace verandol {

DeviceCopy::DeviceCopy(ByteSource& source, ImageFile& image, RescueMap& map, CopyOptions options)
    : source_(source), image_(image), map_(map), options_(options) {
    options_.sector = std::max<std::int64_t>(options_.sector, 1);
    options_.large_read = std::max(options_.large_read - options_.large_read % options_.sector, options_.sector);
    options_.first_skip = std::max(options_.first_skip, options_.sector);
    if (options_.largest_skip <= 0) options_.largest_skip = source_.Size() / 100;
    options_.largest_skip = std::max(options_.largest_skip, options_.first_skip);
    options_.retries = std::max(options_.retries, 0);
    map_.Resize(source_.Size());
    buffer_.resize(static_cast<std::size_t>(options_.large_read));
}

bool DeviceCopy::Stopping() { return *stop_ && (*stop_)(); }

DeviceCopy::Step DeviceCopy::ReadArea(std::int64_t position, std::int64_t length, AreaStatus failed_status) {
    const auto want = static_cast<std::size_t>(length);
    const std::size_t got = std::min(source_.ReadAt(position, MutableByteSpan(buffer_.data(), want)), want);
    bytes_read_ += static_cast<std::int64_t>(got);
    if (got > 0) {
        error_ = image_.Write(position, ByteSpan(buffer_.data(), got));
        if (!error_.empty()) return Step::Stop;
        map_.Set(position, static_cast<std::int64_t>(got), AreaStatus::Finished);
        last_good_ = std::chrono::steady_clock::now();
    }
    const std::int64_t failed_at = position + static_cast<std::int64_t>(got);
    const std::int64_t end = position + length;
    // Only a read of one sector says which sector failed: a device may stop
    // a larger read short of the bad sector (the kernel's page cache stops
    // at the page holding it), or fail all of it.
    if (failed_at < end) map_.Set(failed_at, end - failed_at, length <= options_.sector ? AreaStatus::Bad : failed_status);
    // Where the copy goes on from when it is stopped now.
    map_.current.position = end;
    if (*after_read_) (*after_read_)();
    return failed_at < end ? Step::Failed : Step::Read;
}

DeviceCopy::Step DeviceCopy::ReadSector(std::int64_t position, std::int64_t limit, AreaStatus failed_status) {
    const std::int64_t end = std::min(position - position % options_.sector + options_.sector, limit);
    return ReadArea(position, end - position, failed_status);
}

DeviceCopy::Step DeviceCopy::CopyPass(std::int64_t from, bool skipping) {
    std::int64_t skip = 0;
    std::int64_t at = from;
    for (MapArea area = map_.NextWith(AreaStatus::NonTried, at); area.size > 0;
         area = map_.NextWith(AreaStatus::NonTried, at)) {
        if (Stopping()) return Step::Stop;
        // Reads end on multiples of the read size, as the device lays out its own.
        const std::int64_t boundary = area.position - area.position % options_.large_read + options_.large_read;
        const std::int64_t length = std::min(area.End(), boundary) - area.position;
        const Step step = ReadArea(area.position, length, AreaStatus::NonTrimmed);
        if (step == Step::Stop) return step;
        at = area.position + length;
        if (step == Step::Read) {
            skip = skip / 2 < options_.first_skip ? 0 : skip / 2;
            continue;
        }
        if (!skipping) continue;
        skip = skip == 0 ? options_.first_skip : std::min(skip * 2, options_.largest_skip);
        at = std::min(at + skip, map_.Size());
        at -= at % options_.sector;
    }
    return Step::Read;
}

DeviceCopy::Step DeviceCopy::TrimPass() {
    for (MapArea area = map_.NextWith(AreaStatus::NonTrimmed, 0); area.size > 0;
         area = map_.NextWith(AreaStatus::NonTrimmed, area.position)) {
        std::int64_t front = area.position;
        std::int64_t back = area.End();
        Step step = Step::Read;
        while (front < back && step == Step::Read) {
            if (Stopping()) return Step::Stop;
            step = ReadSector(front, back, AreaStatus::Bad);
            if (step == Step::Stop) return step;
            front = std::min(front - front % options_.sector + options_.sector, back);
        }
        step = Step::Read;
        while (front < back && step == Step::Read) {
            if (Stopping()) return Step::Stop;
            const std::int64_t start = std::max((back - 1) - (back - 1) % options_.sector, front);
            step = ReadArea(start, back - start, AreaStatus::Bad);
            if (step == Step::Stop) return step;
            back = start;
        }
        map_.Set(front, back - front, AreaStatus::NonScraped);
    }
    return Step::Read;
}

DeviceCopy::Step DeviceCopy::ScrapePass() {
    for (MapArea area = map_.NextWith(AreaStatus::NonScraped, 0); area.size > 0;
         area = map_.NextWith(AreaStatus::NonScraped, area.position)) {
        if (Stopping()) return Step::Stop;
        if (ReadSector(area.position, area.End(), AreaStatus::Bad) == Step::Stop) return Step::Stop;
    }
    return Step::Read;
}

DeviceCopy::Step DeviceCopy::RetryPass(int pass, std::int64_t from) {
    map_.current.status = '-';
    map_.current.pass = pass;
    std::int64_t at = from;
    for (MapArea area = map_.NextWith(AreaStatus::Bad, at); area.size > 0; area = map_.NextWith(AreaStatus::Bad, at)) {
        if (Stopping()) return Step::Stop;
        // A sector that fails again stays bad; the pass goes on past it.
        if (ReadSector(area.position, area.End(), AreaStatus::Bad) == Step::Stop) return Step::Stop;
        at = std::min(area.position - area.position % options_.sector + options_.sector, area.End());
    }
    return Step::Read;
}

CopyEnd DeviceCopy::Run(const std::function<bool()>& stop, const std::function<void()>& after_read) {
    stop_ = &stop;
    after_read_ = &after_read;
    const CopyPosition resumed = map_.current;
    const auto ended = [&](Step step) { return step != Step::Stop ? CopyEnd::Done : error_.empty() ? CopyEnd::Stopped : CopyEnd::WriteFailed; };
    const auto phase = [&](char status, int pass) {
        map_.current.status = status;
        map_.current.pass = pass;
    };

    phase('?', 1);
    const bool in_first_pass = resumed.status == '?' && resumed.pass == 1;
    Step step = CopyPass(in_first_pass ? std::clamp<std::int64_t>(resumed.position, 0, map_.Size()) : 0, true);
    if (step == Step::Read && in_first_pass && resumed.position > 0) step = CopyPass(0, true);
    if (step == Step::Read) {
        phase('?', 2);
        step = CopyPass(0, false);
    }
    if (step == Step::Read) {
        phase('*', 1);
        step = TrimPass();
    }
    if (step == Step::Read) {
        phase('/', 1);
        step = ScrapePass();
    }
    // A copy stopped while retrying goes on with the pass it was in, from
    // where it was, so no sector is tried more often than the retries allow.
    const bool was_retrying = resumed.status == '-';
    for (int pass = was_retrying ? resumed.pass : 1; step == Step::Read && pass <= options_.retries; ++pass)
        step = RetryPass(pass, was_retrying && pass == resumed.pass ? std::max<std::int64_t>(resumed.position, 0) : 0);
    if (step == Step::Read) phase('+', map_.current.pass);
    return ended(step);
}

}  // namespace verandol
