// A device that fails: the bytes of an image, except that reads touching
// chosen sectors fail, and every read is counted per sector. Either as a
// disk behind the kernel's block layer does it (the good bytes before the
// first bad sector come back, then nothing) or as a device that fails a
// whole request for one bad sector in it.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "ntfs/byte_source.h"

namespace verandol::testing {

class FaultySource final : public ByteSource {
public:
    enum class Style { ShortRead, WholeRequest };
    FaultySource(ByteSource& image, std::vector<UnreadRange> bad, Style style = Style::ShortRead,
                 std::int64_t sector = 512)
        : image_(image), bad_(std::move(bad)), style_(style), sector_(sector) {}

    std::size_t ReadAt(std::int64_t position, MutableByteSpan out) override;
    std::int64_t Size() const override { return image_.Size(); }

    int FailingReads() const { return failing_reads_; }
    // Reads that asked for any byte of the sector holding `position`.
    int ReadsOfSector(std::int64_t position) const;
    int MostReadsOfABadSector() const;
    // Sectors whose next n reads fail before they read again.
    void FailNextReads(std::int64_t position, int n) { transient_[position / sector_] = n; }

private:
    bool Bad(std::int64_t sector_index);
    ByteSource& image_;
    std::vector<UnreadRange> bad_;
    Style style_;
    std::int64_t sector_;
    int failing_reads_ = 0;
    std::map<std::int64_t, int> reads_;  // by sector index
    std::map<std::int64_t, int> transient_;
};

}  // namespace verandol::testing
