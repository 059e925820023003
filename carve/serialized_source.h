// A volume two threads read at once, one read at a time: the carve pass
// reads ahead on a thread of its own while the walkers read on the pass's,
// and not every source (an image read through a library) allows two reads
// together.
#pragma once

#include <mutex>
#include <vector>

#include "ntfs/byte_source.h"

namespace verandol {

class SerializedSource final : public ByteSource {
public:
    explicit SerializedSource(ByteSource& volume) : volume_(volume) {}

    std::size_t ReadAt(std::int64_t position, MutableByteSpan out) override {
        std::lock_guard lock(mutex_);
        return volume_.ReadAt(position, out);
    }
    std::size_t ReadAround(std::int64_t position, MutableByteSpan out, std::vector<UnreadRange>& unread) override {
        std::lock_guard lock(mutex_);
        return volume_.ReadAround(position, out, unread);
    }
    std::vector<UnreadRange> UnreadSoFar() const override {
        std::lock_guard lock(mutex_);
        return volume_.UnreadSoFar();
    }
    std::int64_t Size() const override { return volume_.Size(); }
    void ExpectSequentialReads() override {
        std::lock_guard lock(mutex_);
        volume_.ExpectSequentialReads();
    }
    void DoneWith(std::int64_t position, std::int64_t length) override {
        std::lock_guard lock(mutex_);
        volume_.DoneWith(position, length);
    }

private:
    ByteSource& volume_;
    mutable std::mutex mutex_;
};

}  // namespace verandol
