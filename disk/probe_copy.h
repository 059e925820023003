// A stand-in file for the system's probing library, which reads only files.
//
// An EWF image or a partition inside a disk is not a file the library can
// open; what it needs of one (a partition table, a boot sector and the first
// MFT records) is copied into an anonymous in-memory file of the same size,
// holes everywhere else. Nothing is ever written to the volume.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ntfs/byte_source.h"

namespace verandol {

struct ByteRange {
    std::int64_t start = 0;
    std::int64_t length = 0;
};

class ProbeCopy {
public:
    // Copies each range of `source` (clipped to its size) into a fresh
    // in-memory file; Path() is empty when the copy could not be made.
    ProbeCopy(ByteSource& source, const std::vector<ByteRange>& ranges);
    ~ProbeCopy();
    ProbeCopy(const ProbeCopy&) = delete;
    ProbeCopy& operator=(const ProbeCopy&) = delete;

    // A path the library can open for reading ("/proc/self/fd/N").
    const std::string& Path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace verandol
