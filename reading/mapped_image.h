// An image made by a device copier, read with the copier's map: the bytes
// of the areas the map does not mark finished were never read from the
// device, so they are not the device's bytes (the copier left zeros or
// whatever the file held) and reading them fails, as reading the device
// there did.
#pragma once

#include <memory>
#include <vector>

#include "ntfs/byte_source.h"

namespace verandol {

class MappedImage final : public ByteSource {
public:
    // `unfinished`: ascending, disjoint stretches of the image.
    MappedImage(std::unique_ptr<ByteSource> image, std::vector<UnreadRange> unfinished)
        : image_(std::move(image)), unfinished_(std::move(unfinished)) {}

    // Stops at the first byte of an unfinished area, as a device stops at a
    // sector it cannot read.
    std::size_t ReadAt(std::int64_t position, MutableByteSpan out) override;
    std::int64_t Size() const override { return image_->Size(); }
    void ExpectSequentialReads() override { image_->ExpectSequentialReads(); }
    void DoneWith(std::int64_t position, std::int64_t length) override { image_->DoneWith(position, length); }

private:
    std::unique_ptr<ByteSource> image_;
    std::vector<UnreadRange> unfinished_;
};

}  // namespace verandol
