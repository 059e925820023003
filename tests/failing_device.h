// A copy of a volume image served as a device whose chosen byte ranges fail
// to read (EIO), through FUSE: for tests and benchmarks of reading around
// bad sectors. Every read the reader makes reaches the device as one read
// (direct I/O), and the device counts them.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/fixture_support.h"

namespace verandol::testing {

struct FailingDeviceOptions {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> bad;  // start, length in bytes
    double fail_delay = 0;  // seconds each failing read takes
    double read_delay = 0;  // seconds every read takes (a failing one: both)
};

// What the device has counted so far.
struct FailingDeviceCounts {
    std::uint64_t reads = 0, failing_reads = 0;
    std::map<std::uint64_t, std::uint64_t> sector_reads;  // 512-byte sector of a bad range -> reads touching it
};

// The first record of `count` records in a row that all hold deleted files
// (no folder and no file in use among them); -1 when there is none.
std::int64_t FirstDeletedRecordRun(const Manifest& manifest, int count);

class FailingDevice {
public:
    // Serves a copy of `image`; null, with the reason in `skip`, where FUSE
    // cannot be had here (the device was not built, or /dev/fuse is missing
    // or refuses the mount).
    static std::unique_ptr<FailingDevice> Serve(const std::string& image, const FailingDeviceOptions& options,
                                                std::string* skip);
    // Unmounts the device and waits for its program to end.
    ~FailingDevice();
    FailingDevice(const FailingDevice&) = delete;
    FailingDevice& operator=(const FailingDevice&) = delete;

    // The device file, to be read like a volume image.
    std::string path() const { return folder_.path() + "/mnt/device"; }

    FailingDeviceCounts Counts() const;
    std::uint64_t Reads() const { return Counts().reads; }
    std::uint64_t FailingReads() const { return Counts().failing_reads; }
    // Reads that touched 512-byte sector `sector`, which must lie in a bad range.
    std::uint64_t ReadsOfSector(std::uint64_t sector) const;

private:
    FailingDevice() = default;
    TempDir folder_;  // the image copy, the mount point, the counts and the program's messages
    pid_t program_ = -1;
};

}  // namespace verandol::testing
