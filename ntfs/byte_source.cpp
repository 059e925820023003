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

std::size_t ByteSource::ReadAround(std::int64_t position, MutableByteSpan out, std::vector<UnreadRange>& unread) {
    const std::size_t got = ReadAt(position, out);
    const std::int64_t size = Size();
    if (position < 0 || position >= size) return got;
    const std::size_t reach =
        static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), static_cast<std::uint64_t>(size - position)));
    if (got >= reach) return got;
    std::memset(out.data() + got, 0, reach - got);
    unread.push_back({position + static_cast<std::int64_t>(got), static_cast<std::int64_t>(reach - got)});
    return reach;
}

std::size_t MemoryVolume::ReadAt(std::int64_t position, MutableByteSpan out) {
    return ReadFrom(bytes_, position, out);
}

std::size_t BorrowedVolume::ReadAt(std::int64_t position, MutableByteSpan out) {
    return ReadFrom(bytes_, position, out);
}

}  // namespace verandol
