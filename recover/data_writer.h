// Streams a file's bytes into its temporary output (or memory) in pieces of
// bounded size, remembering the first stretch that could not be had.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ntfs/byte_reader.h"
#include "ntfs/byte_source.h"
#include "recover/data_sink.h"

namespace verandol {

// At most this much of a file is held in memory, whatever its size.
inline constexpr std::size_t kPieceBytes = 4 << 20;

class DataWriter {
public:
    DataWriter(ByteSource& volume, DataSink& out, const std::atomic<bool>* stop)
        : volume_(volume), out_(out), stop_(stop) {}

    std::int64_t Written() const { return offset_; }
    // Ends the streaming once the file's first `bytes` are had: nothing past
    // them is read, and the walk ends as at a stop, though Stopped() stays false.
    void EndAfter(std::int64_t bytes) { end_after_ = bytes; }
    bool Enough() const { return offset_ >= end_after_; }
    // Why the file is not whole: the first gap its own structures left, and
    // the bytes the device could not deliver; empty when it is whole.
    std::string Missing() const;
    // The bytes of the file (from its start) the device could not deliver;
    // they are zeros in the output.
    const std::vector<UnreadRange>& Unread() const { return unread_; }
    bool Stopped() const { return stopped_; }

    // Copies `length` bytes from the volume at `position`. Sectors the
    // device cannot read are zeros and listed in Unread(); bytes past the
    // volume's end stay a hole, which reads as zeros.
    bool CopyFromVolume(std::int64_t position, std::int64_t length);

    // Zeros the file really holds (a hole, the part past its valid length)
    // or that stand for missing data.
    void Skip(std::int64_t length) { offset_ += length; }

    bool Write(ByteSpan bytes);

    // Reads volume bytes for data that must be transformed before it is
    // written (compressed units); returns how many were delivered.
    std::size_t ReadFromVolume(std::int64_t position, MutableByteSpan out) { return volume_.ReadAt(position, out); }

    // Polled between pieces; true once a stop was asked for or enough is had.
    bool StopRequested();

    void NoteMissing(std::string why) {
        if (missing_.empty()) missing_ = std::move(why);
    }

private:
    ByteSource& volume_;
    DataSink& out_;
    const std::atomic<bool>* stop_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t buffer_size_ = 0;
    std::int64_t offset_ = 0;
    std::int64_t end_after_ = INT64_MAX;
    std::string missing_;
    std::vector<UnreadRange> unread_;
    bool stopped_ = false;
};

}  // namespace verandol
