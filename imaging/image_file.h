// The file a device is copied into: written only where the device was read,
// with positioned writes, and as long as the device from the start, so the
// areas never read stay holes that take no space rather than zeros.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ntfs/byte_reader.h"
#include "ntfs/outcome.h"

namespace verandol {

class ImageFile {
public:
    // Opens or creates `path` for writing without cutting what it holds (a
    // copy goes on where it stopped) and sets its length to `size`.
    static Outcome<std::unique_ptr<ImageFile>> Open(const std::string& path, std::int64_t size);
    ~ImageFile();
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    // Writes `bytes` at `position`; why it could not, or empty.
    std::string Write(std::int64_t position, ByteSpan bytes);
    // Puts what was written on the disk before a map that counts it is saved.
    std::string Flush();
    const std::string& Path() const { return path_; }

private:
    ImageFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    int fd_;
    std::string path_;
};

}  // namespace verandol
