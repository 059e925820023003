#include "reading/mapped_image.h"

#include <algorithm>

#include "ntfs/checked_math.h"

namespace verandol {

std::size_t MappedImage::ReadAt(std::int64_t position, MutableByteSpan out) {
    if (position < 0 || out.empty()) return 0;
    const std::int64_t end = SaturatingAdd(position, static_cast<std::int64_t>(out.size()));
    // The first unfinished stretch that ends after `position`.
    auto next = std::upper_bound(unfinished_.begin(), unfinished_.end(), position,
                                 [](std::int64_t at, const UnreadRange& r) { return at < r.End(); });
    if (next != unfinished_.end() && next->position < end) {
        if (next->position <= position) return 0;
        out = out.first(static_cast<std::size_t>(next->position - position));
    }
    return image_->ReadAt(position, out);
}

}  // namespace verandol
