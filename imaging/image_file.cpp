#include "imaging/image_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace verandol {

namespace {

std::string Why(const std::string& what, const std::string& path) {
    return "cannot " + what + " " + path + ": " + std::strerror(errno);
}

}  // namespace

Outcome<std::unique_ptr<ImageFile>> ImageFile::Open(const std::string& path, std::int64_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return Refusal(Why("write the image", path));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Refusal("the image " + path + " must be a regular file");
    }
    if (st.st_size != size && ::ftruncate(fd, static_cast<off_t>(size)) != 0) {
        const std::string why = Why("set the length of the image", path);
        ::close(fd);
        return Refusal(why);
    }
    return std::unique_ptr<ImageFile>(new ImageFile(fd, path));
}

ImageFile::~ImageFile() { ::close(fd_); }

std::string ImageFile::Write(std::int64_t position, ByteSpan bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::pwrite(fd_, bytes.data() + done, bytes.size() - done,
                                     static_cast<off_t>(position + static_cast<std::int64_t>(done)));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return Why("write the image", path_);
        done += static_cast<std::size_t>(put);
    }
    return {};
}

std::string ImageFile::Flush() { return ::fdatasync(fd_) == 0 ? std::string() : Why("flush the image", path_); }

}  // namespace verandol
