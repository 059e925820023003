// A read-only FUSE file system of one file, "device", whose bytes are those
// of an image file, except that every read touching a bad range fails with
// EIO, as a disk with unreadable sectors fails. Reads reach it one for one
// (direct I/O: no page cache, no read-ahead), so its counts are the reader's.
//
//   verandol-failing-device --image PATH [--bad START+LENGTH]... [--fail-delay S]
//       [--read-delay S] [--stats FILE] MOUNTPOINT [-f] [other FUSE options]
//
// --fail-delay holds each failing read that long, --read-delay every read
// (a failing one waits for both). --stats keeps FILE up to date after every
// read, before the read returns (see read_tally.h).
//
// The kernel hands a read to FUSE in requests of at most 1 MiB, less when
// the reader's buffer does not start on a page: a longer read, or one into
// such a buffer, reaches the device (and its counts) in pieces, as a disk's
// driver splits long requests.
#define FUSE_USE_VERSION 35

#include <fcntl.h>
#include <fuse.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/failing_device/bad_ranges.h"
#include "tests/failing_device/read_tally.h"

namespace {

using verandol::testing::ByteRange;

constexpr const char* kFile = "/device";

struct Device {
    int image = -1;
    off_t size = 0;
    std::vector<ByteRange> bad;
    std::chrono::duration<double> fail_delay{0}, read_delay{0};
    std::string stats;
    std::mutex lock;  // over tally and the statistics file
    verandol::testing::ReadTally* tally = nullptr;
};

Device& TheDevice() { return *static_cast<Device*>(fuse_get_context()->private_data); }

void* Init(fuse_conn_info*, fuse_config* config) {
    config->direct_io = 1;
    config->kernel_cache = 0;
    return fuse_get_context()->private_data;
}

int GetAttr(const char* path, struct stat* st, fuse_file_info*) {
    std::memset(st, 0, sizeof *st);
    if (std::strcmp(path, "/") == 0) {
        st->st_mode = S_IFDIR | 0555;
        st->st_nlink = 2;
    } else if (std::strcmp(path, kFile) == 0) {
        st->st_mode = S_IFREG | 0444;
        st->st_nlink = 1;
        st->st_size = TheDevice().size;
    } else {
        return -ENOENT;
    }
    return 0;
}

int ReadDir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*, fuse_readdir_flags) {
    if (std::strcmp(path, "/") != 0) return -ENOENT;
    fill(buffer, ".", nullptr, 0, fuse_fill_dir_flags{});
    fill(buffer, "..", nullptr, 0, fuse_fill_dir_flags{});
    fill(buffer, kFile + 1, nullptr, 0, fuse_fill_dir_flags{});
    return 0;
}

int Open(const char* path, fuse_file_info* fi) {
    if (std::strcmp(path, kFile) != 0) return -ENOENT;
    if ((fi->flags & O_ACCMODE) != O_RDONLY) return -EROFS;
    fi->direct_io = 1;
    fi->keep_cache = 0;
    return 0;
}

int Read(const char* path, char* buffer, size_t size, off_t offset, fuse_file_info*) {
    if (std::strcmp(path, kFile) != 0) return -ENOENT;
    Device& device = TheDevice();
    if (offset >= device.size) size = 0;
    size = std::min<size_t>(size, static_cast<size_t>(device.size - std::min(offset, device.size)));
    bool failed = false;
    for (const ByteRange& range : device.bad) failed = failed || range.Overlaps(static_cast<std::uint64_t>(offset), size);
    std::this_thread::sleep_for(device.read_delay + (failed ? device.fail_delay : std::chrono::duration<double>(0)));
    size_t done = 0;
    while (!failed && done < size) {
        const ssize_t got = pread(device.image, buffer + done, size - done, offset + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return got < 0 ? -errno : -EIO;
        done += static_cast<size_t>(got);
    }
    {
        std::lock_guard<std::mutex> hold(device.lock);
        device.tally->Count(static_cast<std::uint64_t>(offset), size, failed);
        if (!device.stats.empty() && !device.tally->WriteTo(device.stats))
            std::fprintf(stderr, "failing device: cannot write %s\n", device.stats.c_str());
    }
    return failed ? -EIO : static_cast<int>(done);
}

int Usage(const char* message) {
    std::fprintf(stderr,
                 "%s\nusage: verandol-failing-device --image PATH [--bad START+LENGTH]... [--fail-delay S]\n"
                 "           [--read-delay S] [--stats FILE] MOUNTPOINT [-f] [FUSE options]\n",
                 message);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Device device;
    std::string image;
    std::vector<char*> fuse_args{argv[0]};
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool ours = option == "--image" || option == "--bad" || option == "--fail-delay" ||
                          option == "--read-delay" || option == "--stats";
        if (!ours) {
            fuse_args.push_back(argv[i]);
            continue;
        }
        if (i + 1 == argc) return Usage((option + " needs a value").c_str());
        const std::string value = argv[++i];
        if (option == "--image") {
            image = value;
        } else if (option == "--stats") {
            device.stats = value;
        } else if (option == "--bad") {
            auto range = verandol::testing::ParseByteRange(value);
            if (!range) return Usage(("not a byte range START+LENGTH: " + value).c_str());
            device.bad.push_back(*range);
        } else {
            auto seconds = verandol::testing::ParseSeconds(value);
            if (!seconds) return Usage(("not a delay in seconds: " + value).c_str());
            (option == "--fail-delay" ? device.fail_delay : device.read_delay) = std::chrono::duration<double>(*seconds);
        }
    }
    if (image.empty()) return Usage("--image is missing");
    // FUSE may leave the working folder before the first read.
    if (!device.stats.empty()) device.stats = std::filesystem::absolute(device.stats).string();
    device.image = open(image.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (device.image < 0 || fstat(device.image, &st) != 0) return Usage(("cannot read " + image).c_str());
    device.size = st.st_size;
    verandol::testing::ReadTally tally(device.bad);
    device.tally = &tally;
    if (!device.stats.empty() && !tally.WriteTo(device.stats)) return Usage(("cannot write " + device.stats).c_str());

    char read_only[] = "-oro,fsname=verandol-failing-device,subtype=failing-device";
    fuse_args.push_back(read_only);
    fuse_args.push_back(nullptr);
    fuse_operations operations{};
    operations.init = Init;
    operations.getattr = GetAttr;
    operations.readdir = ReadDir;
    operations.open = Open;
    operations.read = Read;
    return fuse_main(static_cast<int>(fuse_args.size() - 1), fuse_args.data(), &operations, &device);
}
