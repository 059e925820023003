#include "ntfs/byte_source.h"

#include <algorithm>
#include <cstring>

namespace verandol {

namespace {

std::size_t ReadFrom(ByteSpan bytes, std::int64_t position, MutableByteSpan out) {
    if (position < 0 || static_cast<std::uint64_t>(position) >= bytes.size()) return 0;
    std::size_t start = static_cast<std::size_t>(position);
    std::size_t n = std::min(out.size(), bytes.size() - start);
    std::memcpy(out.data(), bytes.data() + start, n);
    return n;
}

}  // namespace

std::size_t MemoryVolume::ReadAt(std::int64_t position, MutableByteSpan out) {
    return ReadFrom(bytes_, position, out);
}

std::size_t BorrowedVolume::ReadAt(std::int64_t position, MutableByteSpan out) {
    return ReadFrom(bytes_, position, out);
}

}  // namespace verandol
