// The bytes a format walker reads: from one start position of a volume on,
// at most a bounded number of them, fetched through the volume in blocks
// so that a walker asks for a byte or a field at a time without a read each.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "ntfs/byte_reader.h"
#include "ntfs/byte_source.h"

namespace verandol {

class CarveReader {
public:
    // Reads from `start` of `volume` on, never past `limit` bytes from it
    // nor past the volume's end.
    CarveReader(ByteSource& volume, std::int64_t start, std::int64_t limit);

    // How many bytes the walker may read: offsets [0, Size()).
    std::int64_t Size() const { return size_; }
    // Where offset 0 lies on which volume: for a walker that remembers what
    // it learnt of the bytes past one start when it is asked at the next.
    std::int64_t Start() const { return start_; }
    const ByteSource& Volume() const { return volume_; }
    // The pass this walk is part of: a number no other pass had, so what a
    // walker learnt at one start is never taken for another volume's (an
    // address or a size can be the same again). 0 for a walk outside a
    // pass, which remembers nothing.
    std::uint64_t Pass() const { return pass_; }
    void InPass(std::uint64_t pass) { pass_ = pass; }

    // Up to `want` bytes from `offset` (at most kWindowBytes), fewer only at
    // Size(); empty when offset is outside. Valid until the next call.
    ByteSpan Window(std::int64_t offset, std::size_t want);
    // The bytes [offset, offset + out.size()) into `out`; false when they
    // are not all within Size().
    bool Read(std::int64_t offset, MutableByteSpan out);
    std::optional<std::uint8_t> Byte(std::int64_t offset);
    std::optional<std::uint16_t> Le16(std::int64_t offset);
    std::optional<std::uint32_t> Le32(std::int64_t offset);
    std::optional<std::uint64_t> Le64(std::int64_t offset);
    std::optional<std::uint16_t> Be16(std::int64_t offset);
    std::optional<std::uint32_t> Be32(std::int64_t offset);
    // True when the bytes at `offset` are `text`.
    bool Matches(std::int64_t offset, std::string_view text);
    // The first offset in [from, to) where `text` begins, wholly below
    // `to`; nullopt when there is none.
    std::optional<std::int64_t> Find(std::int64_t from, std::int64_t to, std::string_view text);

    // Bytes the caller already read from the volume at the start on, whole
    // (no stretch of them unread): windows within them are served from them
    // rather than read again. They must outlive the reader. `more`, bytes
    // that follow them directly on the volume (the pass's next stretch,
    // read ahead), serve windows within them the same way.
    void Preloaded(ByteSpan bytes, ByteSpan more = {}) {
        preloaded_ = bytes;
        more_ = more;
    }

    // Reads the bytes from offset `at` on `bytes` further on in the volume,
    // as if the clusters between were not there: a file in two pieces with
    // another's clusters between them is read as one. Forgets what was read.
    void SkipAt(std::int64_t at, std::int64_t bytes);
    // Where offset `offset` lies on the volume.
    std::int64_t VolumePosition(std::int64_t offset) const {
        return start_ + offset + (gap_bytes_ > 0 && offset >= gap_at_ ? gap_bytes_ : 0);
    }

    // Volume stretches the device could not deliver among those read so far.
    const std::vector<UnreadRange>& Unread() const { return unread_; }

    // Polled before each fetch from the volume: once it says stop, nothing
    // more is read (the walker sees the end) and Stopped() is true, so a
    // walk through a file of gigabytes ends when the pass is told to stop.
    void StopWhen(std::function<bool()> stop) { stop_ = std::move(stop); }
    bool Stopped() const { return stopped_; }

    // Bytes fetched from the volume so far.
    std::int64_t BytesFetched() const { return fetched_; }

    static constexpr std::size_t kWindowBytes = 256 << 10;

private:
    // Reads [offset, offset + length) of the file into block_: in two reads
    // when the gap lies within.
    void Fetch(std::int64_t offset, std::size_t length);
    void FetchPiece(std::int64_t offset, std::size_t length, std::size_t into);

    ByteSource& volume_;
    std::int64_t start_;
    std::int64_t limit_;
    std::int64_t size_;
    std::int64_t gap_at_ = 0;
    std::int64_t gap_bytes_ = 0;
    std::int64_t fetched_ = 0;
    std::uint64_t pass_ = 0;
    ByteSpan preloaded_;
    ByteSpan more_;
    std::vector<std::uint8_t> block_;
    std::int64_t block_at_ = -1;  // the offset block_ holds, -1 before the first read
    std::size_t block_len_ = 0;
    std::vector<UnreadRange> unread_;
    std::function<bool()> stop_;
    bool stopped_ = false;
};

}  // namespace verandol
