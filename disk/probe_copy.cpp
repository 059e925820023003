#include "disk/probe_copy.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

#include "ntfs/checked_math.h"

namespace verandol {

namespace {

bool CopyRange(ByteSource& source, int fd, ByteRange range) {
    std::vector<std::uint8_t> buffer(64 * 1024);
    const std::int64_t size = source.Size();
    std::int64_t at = std::max<std::int64_t>(range.start, 0);
    std::int64_t end = 0;
    if (AddOverflows(at, std::max<std::int64_t>(range.length, 0), end)) end = size;
    end = std::min(end, size);
    while (at < end) {
        const auto want =
            static_cast<std::size_t>(std::min<std::int64_t>(end - at, static_cast<std::int64_t>(buffer.size())));
        const std::size_t got = source.ReadAt(at, MutableByteSpan(buffer).first(want));
        if (got == 0) return true;  // unreadable parts stay holes, read as zeros
        if (::pwrite(fd, buffer.data(), got, static_cast<off_t>(at)) != static_cast<ssize_t>(got)) return false;
        at += static_cast<std::int64_t>(got);
    }
    return true;
}

}  // namespace

ProbeCopy::ProbeCopy(ByteSource& source, const std::vector<ByteRange>& ranges) {
    fd_ = ::memfd_create("verandol-probe", MFD_CLOEXEC);
    if (fd_ < 0) return;
    if (::ftruncate(fd_, static_cast<off_t>(source.Size())) != 0) return;
    for (const ByteRange& range : ranges)
        if (!CopyRange(source, fd_, range)) return;
    path_ = "/proc/self/fd/" + std::to_string(fd_);
}

ProbeCopy::~ProbeCopy() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace verandol
