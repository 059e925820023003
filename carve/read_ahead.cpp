#include "carve/read_ahead.h"

#include <algorithm>

namespace verandol {

ReadAhead::ReadAhead(ByteSource& volume, std::size_t stretch_bytes) : volume_(volume) {
    for (auto& buffer : buffers_) buffer.resize(stretch_bytes);
}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    // A read under way finishes first: the thread never leaves one half done.
    if (thread_.joinable()) thread_.join();
}

bool ReadAhead::Collect(std::int64_t position, std::size_t length) {
    std::unique_lock lock(mutex_);
    if (!asked_) return false;
    changed_.wait(lock, [&] { return done_; });
    asked_ = false;
    return ahead_at_ == position && ahead_length_ == length;
}

std::size_t ReadAhead::Take(std::int64_t position, std::size_t length) {
    length = std::min(length, buffers_[0].size());
    if (Collect(position, length)) {
        taken_ = 1 - taken_;
        return got_[taken_];
    }
    unread_[taken_].clear();
    got_[taken_] = volume_.ReadAround(position, MutableByteSpan(buffers_[taken_].data(), length), unread_[taken_]);
    return got_[taken_];
}

ByteSpan ReadAhead::AheadFrom(std::int64_t position) {
    std::unique_lock lock(mutex_);
    if (!asked_ || ahead_at_ != position) return {};
    changed_.wait(lock, [&] { return done_; });
    const std::size_t spare = 1 - taken_;
    if (!unread_[spare].empty()) return {};
    return ByteSpan(buffers_[spare].data(), got_[spare]);
}

void ReadAhead::Ahead(std::int64_t position, std::size_t length) {
    {
        std::lock_guard lock(mutex_);
        // One read ahead at a time: Take() collected the last one.
        if (asked_) return;
        asked_ = true;
        done_ = false;
        ahead_at_ = position;
        ahead_length_ = std::min(length, buffers_[0].size());
    }
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    changed_.notify_all();
}

void ReadAhead::Run() {
    std::unique_lock lock(mutex_);
    while (true) {
        changed_.wait(lock, [&] { return quit_ || (asked_ && !done_); });
        if (quit_) return;
        const std::size_t spare = 1 - taken_;
        const std::int64_t at = ahead_at_;
        const std::size_t length = ahead_length_;
        lock.unlock();
        // The spare buffer is the thread's alone until done_ says otherwise.
        unread_[spare].clear();
        got_[spare] = volume_.ReadAround(at, MutableByteSpan(buffers_[spare].data(), length), unread_[spare]);
        lock.lock();
        done_ = true;
        changed_.notify_all();
    }
}

}  // namespace verandol
