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

std::size_t OffsetView::ReadAt(std::int64_t position, MutableByteSpan out) {
    if (position < 0 || position >= length_) return 0;
    const auto room = static_cast<std::uint64_t>(length_ - position);
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), room));
    // start_ + position < start_ + length_, which was checked not to overflow.
    return disk_->ReadAt(start_ + position, out.first(n));
}

void OffsetView::DoneWith(std::int64_t position, std::int64_t length) {
    if (position < 0 || position >= length_ || length <= 0) return;
    disk_->DoneWith(start_ + position, std::min(length, length_ - position));
}

}  // namespace verandol
