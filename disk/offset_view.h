// One partition of a disk, read as a volume of its own.
#pragma once

#include <cstdint>
#include <memory>

#include "ntfs/byte_source.h"

namespace verandol {

// The bytes [start, start + length) of `disk`, seen from position 0. Reads
// outside that range deliver nothing, so nothing the volume's own structures
// say can reach the next partition. A range that runs past the disk's end
// is cut at the end, and Cut() says so.
class OffsetView final : public ByteSource {
public:
    OffsetView(std::shared_ptr<ByteSource> disk, std::int64_t start, std::int64_t length);

    std::size_t ReadAt(std::int64_t position, MutableByteSpan out) override;
    std::size_t ReadAround(std::int64_t position, MutableByteSpan out, std::vector<UnreadRange>& unread) override;
    // The disk's unread stretches that lie in this view, in its positions.
    std::vector<UnreadRange> UnreadSoFar() const override;
    std::int64_t Size() const override { return length_; }
    void ExpectSequentialReads() override { disk_->ExpectSequentialReads(); }
    void DoneWith(std::int64_t position, std::int64_t length) override;
    bool Cut() const { return cut_; }
    std::int64_t Start() const { return start_; }

private:
    // How much of `out` a read from `position` may fill; 0 outside the view.
    std::size_t Room(std::int64_t position, std::size_t wanted) const;

    std::shared_ptr<ByteSource> disk_;
    std::int64_t start_;
    std::int64_t length_;
    bool cut_ = false;
};

}  // namespace verandol
