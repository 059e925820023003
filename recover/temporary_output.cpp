#include "recover/temporary_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace verandol {

TemporaryOutput::TemporaryOutput(const std::string& final_path) : final_path_(final_path) {
    const std::filesystem::path folder = std::filesystem::path(final_path).parent_path();
    // Seeded once per thread: opening the system's entropy source for every
    // file cost more than small files take to write. O_EXCL settles a clash.
    thread_local std::mt19937 names{std::random_device{}()};
    for (int attempt = 0; attempt < 16 && fd_ < 0; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".verandol-%08x.part", static_cast<unsigned>(names()));
        temp_path_ = (folder / suffix).string();
        // 0666 lets the user's umask decide the final permissions, as for any new file.
        fd_ = ::open(temp_path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) {
        error_ = "cannot create a file in " + folder.string() + ": " + std::strerror(errno);
        temp_path_.clear();
    }
}

TemporaryOutput::~TemporaryOutput() {
    if (fd_ >= 0) ::close(fd_);
    if (!temp_path_.empty()) ::unlink(temp_path_.c_str());
}

bool TemporaryOutput::Fail(const std::string& what) {
    error_ = what + ": " + std::strerror(errno);
    return false;
}

bool TemporaryOutput::WriteAt(std::int64_t offset, ByteSpan bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done,
                             static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Fail("cannot write " + final_path_);
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool TemporaryOutput::Resize(std::int64_t length) {
    if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) return Fail("cannot extend " + final_path_);
    return true;
}

bool TemporaryOutput::SetTimes(const OutputTimes& times) {
    const timespec both[2] = {times.accessed, times.modified};
    if (::futimens(fd_, both) != 0) return Fail("cannot set the times of " + final_path_);
    return true;
}

namespace {

// Flushes `fd` to the device. A file system that cannot flush at all
// (EINVAL) offers nothing more to wait for, so that is no failure.
bool Flush(int fd) {
    while (::fsync(fd) != 0) {
        if (errno == EINVAL) return true;
        if (errno != EINTR) return false;
    }
    return true;
}

}  // namespace

bool TemporaryOutput::Commit() {
    const int fd = fd_;
    fd_ = -1;
    // Flushed before the rename, so the final name never points at data
    // still in memory: a stick pulled right after a file is reported
    // written still holds it.
    if (!Flush(fd)) {
        const int failure = errno;
        ::close(fd);
        errno = failure;
        return Fail("cannot flush " + final_path_ + " to its device");
    }
    // A write error the file system reports late (a full disk, a network
    // folder) shows up at close; the file is not complete then.
    if (::close(fd) != 0) return Fail("cannot finish writing " + final_path_);
    if (::rename(temp_path_.c_str(), final_path_.c_str()) != 0) return Fail("cannot name the file " + final_path_);
    temp_path_.clear();
    // The new name lives in the folder, which is flushed in turn.
    const std::string folder = std::filesystem::path(final_path_).parent_path().string();
    const int folder_fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_fd < 0) return Fail("cannot open the folder of " + final_path_ + " to flush it");
    const bool flushed = Flush(folder_fd);
    const int failure = errno;
    ::close(folder_fd);
    errno = failure;
    if (!flushed) return Fail("cannot flush the folder of " + final_path_ + ", so its name may not last");
    return true;
}

}  // namespace verandol
