#include "disk/offset_view.h"

#include <algorithm>

#include "ntfs/checked_math.h"

namespace verandol {

OffsetView::OffsetView(std::shared_ptr<ByteSource> disk, std::int64_t start, std::int64_t length)
    : disk_(std::move(disk)), start_(std::max<std::int64_t>(start, 0)), length_(std::max<std::int64_t>(length, 0)) {
    const std::int64_t disk_size = disk_->Size();
    std::int64_t end = 0;
    if (start < 0 || length < 0 || AddOverflows(start_, length_, end) || end > disk_size) {
        cut_ = true;
        length_ = std::max<std::int64_t>(0, disk_size - std::min(start_, disk_size));
    }
}

std::size_t OffsetView::Room(std::int64_t position, std::size_t wanted) const {
    if (position < 0 || position >= length_) return 0;
    const auto room = static_cast<std::uint64_t>(length_ - position);
    return static_cast<std::size_t>(std::min<std::uint64_t>(wanted, room));
}

// start_ + position < start_ + length_, which was checked not to overflow.
std::size_t OffsetView::ReadAt(std::int64_t position, MutableByteSpan out) {
    const std::size_t n = Room(position, out.size());
    return n == 0 ? 0 : disk_->ReadAt(start_ + position, out.first(n));
}

std::size_t OffsetView::ReadAround(std::int64_t position, MutableByteSpan out, std::vector<UnreadRange>& unread) {
    const std::size_t n = Room(position, out.size());
    if (n == 0) return 0;
    const std::size_t first_new = unread.size();
    const std::size_t got = disk_->ReadAround(start_ + position, out.first(n), unread);
    for (std::size_t i = first_new; i < unread.size(); ++i) unread[i].position -= start_;
    return got;
}

std::vector<UnreadRange> OffsetView::UnreadSoFar() const {
    std::vector<UnreadRange> mine;
    const std::int64_t end = start_ + length_;
    for (const UnreadRange& r : disk_->UnreadSoFar()) {
        const std::int64_t from = std::max(r.position, start_);
        const std::int64_t to = std::min(r.End(), end);
        if (from < to) mine.push_back({from - start_, to - from});
    }
    return mine;
}

void OffsetView::DoneWith(std::int64_t position, std::int64_t length) {
    if (position < 0 || position >= length_ || length <= 0) return;
    disk_->DoneWith(start_ + position, std::min(length, length_ - position));
}

}  // namespace verandol
