// The carve pass's reads of the searched stretches, one stretch ahead:
// while the pass checks the stretch it took, a thread of its own reads the
// one it will most likely ask for next, so on a device the checking costs
// little more than the reading. Two buffers of the stretch size, no more.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "ntfs/byte_source.h"

namespace verandol {

class ReadAhead {
public:
    // `volume` must allow reads from two threads at once (SerializedSource).
    ReadAhead(ByteSource& volume, std::size_t stretch_bytes);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Reads [position, position + length) (length at most the stretch
    // size) as ReadAround does, returning how many bytes it delivered:
    // those read ahead when that very stretch was asked for ahead, else
    // read now. Bytes() and Unread() hold them until the next Take().
    std::size_t Take(std::int64_t position, std::size_t length);
    ByteSpan Bytes() const { return ByteSpan(buffers_[taken_].data(), got_[taken_]); }
    const std::vector<UnreadRange>& Unread() const { return unread_[taken_]; }

    // The bytes read ahead when they were read from `position` on with no
    // fault, waiting for them; else empty. They hold until the next Take().
    ByteSpan AheadFrom(std::int64_t position);

    // Starts reading [position, position + length) on the thread, into the
    // buffer Take() did not hand out. A guess: Take() uses it only when
    // asked for exactly that stretch.
    void Ahead(std::int64_t position, std::size_t length);

private:
    void Run();
    // Waits for the read ahead, if one was started; true when it read
    // exactly [position, position + length).
    bool Collect(std::int64_t position, std::size_t length);

    ByteSource& volume_;
    std::array<std::vector<std::uint8_t>, 2> buffers_;
    std::array<std::vector<UnreadRange>, 2> unread_;
    std::array<std::size_t, 2> got_{};
    std::size_t taken_ = 0;  // the buffer Take() handed out

    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;
    // The read ahead: asked for, and whether the thread finished it.
    bool asked_ = false, done_ = false, quit_ = false;
    std::int64_t ahead_at_ = 0;
    std::size_t ahead_length_ = 0;
};

}  // namespace verandol
