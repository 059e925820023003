#include "ntfs/byte_source.h"

#include <algorithm>
#include <cstring>

namespace verandol {

std::size_t MemoryVolume::ReadAt(std::int64_t position, MutableByteSpan out) {
    if (position < 0 || static_cast<std::uint64_t>(position) >= bytes_.size()) return 0;
    std::size_t start = static_cast<std::size_t>(position);
    std::size_t n = std::min(out.size(), bytes_.size() - start);
    std::memcpy(out.data(), bytes_.data() + start, n);
    return n;
}

}  // namespace verandol
