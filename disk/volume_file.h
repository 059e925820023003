// Read-only access to a volume: a block device such as /dev/sdb1, or an image file.
//
// Nothing here can write: the only open is O_RDONLY. Reads are positioned
// (pread) so several readers can share nothing and still not disturb each other.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ntfs/byte_source.h"
#include "ntfs/outcome.h"

namespace verandol {

class VolumeFile final : public ByteSource {
public:
    // Opens `path` read-only, or says why it cannot. A block device this
    // user may not open is asked for through the privileged opener
    // (disk/privileged_open.h), when one is set.
    static Outcome<std::unique_ptr<VolumeFile>> TryOpen(const std::string& path);
    // The same for callers that only need to know whether it opened: null on failure.
    static std::unique_ptr<VolumeFile> Open(const std::string& path);
    ~VolumeFile() override;
    VolumeFile(const VolumeFile&) = delete;
    VolumeFile& operator=(const VolumeFile&) = delete;

    std::size_t ReadAt(std::int64_t position, MutableByteSpan out) override;
    std::int64_t Size() const override { return size_; }
    void ExpectSequentialReads() override;
    void DoneWith(std::int64_t position, std::int64_t length) override;
    // Device number of the volume: st_rdev for a block device, or the
    // device holding an image file. Lets callers tell whether an output folder
    // lies on the volume being read.
    std::uint64_t DeviceId() const { return device_id_; }
    // True when the descriptor came from the privileged opener: the path
    // itself cannot be opened by this process, so nothing may reopen it.
    bool OpenedOnBehalf() const { return on_behalf_; }

private:
    VolumeFile(int fd, std::int64_t size, std::uint64_t device_id, bool on_behalf)
        : fd_(fd), size_(size), device_id_(device_id), on_behalf_(on_behalf) {}
    int fd_;
    std::int64_t size_;
    std::uint64_t device_id_;
    bool on_behalf_;
};

}  // namespace verandol
