// What the on-disk parsers read from: bytes at 64-bit positions, from a
// device, an image, a partition of either, or a copy held in memory.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "ntfs/byte_reader.h"

namespace verandol {

// Bytes [position, position + length) of a volume or device.
struct UnreadRange {
    std::int64_t position = 0;
    std::int64_t length = 0;
    std::int64_t End() const { return position + length; }
    bool operator==(const UnreadRange&) const = default;
};

// Anything bytes can be read from at 64-bit positions. The scan and the
// recovery read volumes only through this, so tests and fuzzers can hand them
// an image held in memory.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Fills `out` from byte `position` on and returns how many bytes were
    // delivered; fewer than asked at the end of the volume or on a read error.
    // A negative position delivers nothing.
    virtual std::size_t ReadAt(std::int64_t position, MutableByteSpan out) = 0;
    // Reads like ReadAt, but goes on past bytes the device could not
    // deliver: they are zeros in `out`, and their stretches (positions on
    // this source, ascending) are appended to `unread`. Returns how many
    // bytes of `out` hold the volume, unread ones included: fewer than asked
    // only at the end of the volume. A source that cannot tell a failed
    // read from the end takes every byte after a short read as unread.
    virtual std::size_t ReadAround(std::int64_t position, MutableByteSpan out, std::vector<UnreadRange>& unread);
    // The stretches readers of this source asked for since it was opened and
    // could not be given, ascending and merged. Empty for sources that
    // cannot fail.
    virtual std::vector<UnreadRange> UnreadSoFar() const { return {}; }
    // The volume's length in bytes as the device reports it.
    virtual std::int64_t Size() const = 0;
    // Hints for one pass over the whole volume: the reads will go forward,
    // and the bytes [position, position + length) will not be wanted again,
    // so the pass need not push everything else out of the page cache.
    // Sources without a cache of their own ignore them.
    virtual void ExpectSequentialReads() {}
    virtual void DoneWith(std::int64_t position, std::int64_t length) {
        (void)position;
        (void)length;
    }
};

// A volume image held in memory.
class MemoryVolume final : public ByteSource {
public:
    explicit MemoryVolume(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    std::size_t ReadAt(std::int64_t position, MutableByteSpan out) override;
    std::int64_t Size() const override { return static_cast<std::int64_t>(bytes_.size()); }
    std::vector<std::uint8_t>& Bytes() { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

// Bytes held in memory by someone else, read in place: a fuzzer's input is
// not copied for every run. The bytes must outlive it.
class BorrowedVolume final : public ByteSource {
public:
    explicit BorrowedVolume(ByteSpan bytes) : bytes_(bytes) {}
    std::size_t ReadAt(std::int64_t position, MutableByteSpan out) override;
    std::int64_t Size() const override { return static_cast<std::int64_t>(bytes_.size()); }

private:
    ByteSpan bytes_;
};

}  // namespace verandol
