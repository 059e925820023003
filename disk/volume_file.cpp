#include "disk/volume_file.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "disk/privileged_open.h"

namespace verandol {

namespace {

bool IsBlockDevice(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISBLK(st.st_mode);
}

}  // namespace

Outcome<std::unique_ptr<VolumeFile>> VolumeFile::TryOpen(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    bool on_behalf = false;
    if (fd < 0) {
        const int cause = errno;
        // Only a block device can be opened on the user's behalf; an image
        // file the user may not read stays refused.
        if ((cause != EACCES && cause != EPERM) || !IsBlockDevice(path))
            return Refusal("cannot open " + path + ": " + std::strerror(cause));
        Outcome<int> opened = OpenOnUsersBehalf(path, std::strerror(cause));
        if (!opened) return Refusal(opened.reason());
        fd = *opened;
        on_behalf = true;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const std::string why = "cannot examine " + path + ": " + std::strerror(errno);
        ::close(fd);
        return Refusal(why);
    }
    std::int64_t size = 0;
    std::uint64_t device = 0;
    if (S_ISBLK(st.st_mode)) {
        std::uint64_t bytes = 0;
        // Without its size a device reads as empty, and an empty volume as
        // "not NTFS", which would hide why.
        const int failure = ::ioctl(fd, BLKGETSIZE64, &bytes) != 0              ? errno
                            : bytes > static_cast<std::uint64_t>(INT64_MAX) ? EOVERFLOW
                                                                              : 0;
        if (failure != 0) {
            ::close(fd);
            return Refusal("cannot learn the size of " + path + ": " + std::strerror(failure));
        }
        size = static_cast<std::int64_t>(bytes);
        device = st.st_rdev;
    } else if (S_ISREG(st.st_mode)) {
        size = st.st_size;
        device = st.st_dev;
    } else {
        ::close(fd);
        return Refusal(path + " is neither a block device nor a file");
    }
    return std::unique_ptr<VolumeFile>(new VolumeFile(fd, size, device, on_behalf));
}

std::unique_ptr<VolumeFile> VolumeFile::Open(const std::string& path) {
    auto opened = TryOpen(path);
    return opened ? std::move(*opened) : nullptr;
}

VolumeFile::~VolumeFile() { ::close(fd_); }

// Advice only: a kernel that ignores it reads the same bytes.
void VolumeFile::ExpectSequentialReads() { (void)::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL); }

void VolumeFile::DoneWith(std::int64_t position, std::int64_t length) {
    if (position >= 0 && length > 0) (void)::posix_fadvise(fd_, position, length, POSIX_FADV_DONTNEED);
}

std::size_t VolumeFile::ReadAt(std::int64_t position, MutableByteSpan out) {
    if (position < 0) return 0;
    std::size_t done = 0;
    while (done < out.size()) {
        std::int64_t at = position + static_cast<std::int64_t>(done);
        if (at < position) break;  // the position would wrap past 2^63
        ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

}  // namespace verandol
