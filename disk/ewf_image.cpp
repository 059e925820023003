#include "disk/ewf_image.h"

#include <libewf.h>

#include "disk/library_image.h"

#include <algorithm>
#include <vector>

#include "ntfs/checked_math.h"

namespace verandol {

namespace {

std::string TakeError(libewf_error_t*& error, const std::string& what) {
    std::string text = what;
    if (error) {
        char buffer[512] = {};
        if (libewf_error_sprint(error, buffer, sizeof buffer) > 0) text += ": " + InnermostLine(buffer);
        libewf_error_free(&error);
    }
    return text;
}

class EwfImage final : public ByteSource {
public:
    EwfImage(libewf_handle_t* handle, std::int64_t size, std::uint32_t sector)
        : handle_(handle), size_(size), sector_(sector) {}
    ~EwfImage() override {
        libewf_handle_close(handle_, nullptr);
        libewf_handle_free(&handle_, nullptr);
    }
    EwfImage(const EwfImage&) = delete;
    EwfImage& operator=(const EwfImage&) = delete;

    std::size_t ReadAt(std::int64_t position, MutableByteSpan out) override {
        if (position < 0 || position >= size_ || out.empty()) return 0;
        const std::size_t n = static_cast<std::size_t>(
            std::min<std::uint64_t>(out.size(), static_cast<std::uint64_t>(size_ - position)));
        libewf_error_t* error = nullptr;
        const ssize_t got = libewf_handle_read_random(handle_, out.data(), n, position, &error);
        if (error) libewf_error_free(&error);
        if (got <= 0) return 0;
        return GoodPrefix(position, static_cast<std::size_t>(got));
    }
    std::int64_t Size() const override { return size_; }

private:
    // The part of [position, position + got) before the first chunk whose
    // checksum failed: the library hands such a chunk's bytes over anyway,
    // and they must not pass for the disk's content.
    std::size_t GoodPrefix(std::int64_t position, std::size_t got) {
        std::uint32_t count = 0;
        if (libewf_handle_get_number_of_checksum_errors(handle_, &count, nullptr) != 1 || count == 0) return got;
        std::uint64_t good = got;
        for (std::uint32_t i = 0; i < count; ++i) {
            std::uint64_t first = 0, sectors = 0;
            if (libewf_handle_get_checksum_error(handle_, i, &first, &sectors, nullptr) != 1) return 0;
            std::uint64_t bad_start = 0, bad_length = 0, bad_end = 0;
            if (MulOverflows(first, sector_, bad_start) ||
                MulOverflows(sectors, sector_, bad_length) ||
                AddOverflows(bad_start, bad_length, bad_end))
                return 0;
            const auto from = static_cast<std::uint64_t>(position);
            if (bad_end <= from || bad_start >= from + good) continue;
            good = bad_start <= from ? 0 : bad_start - from;
        }
        return static_cast<std::size_t>(good);
    }

    libewf_handle_t* handle_;
    std::int64_t size_;
    std::uint64_t sector_;
};

}  // namespace

bool EwfSupported() { return true; }

Outcome<std::unique_ptr<ByteSource>> OpenEwfImage(const std::string& path) {
    libewf_error_t* error = nullptr;
    char** names = nullptr;
    int name_count = 0;
    if (libewf_glob(path.c_str(), path.size(), LIBEWF_FORMAT_UNKNOWN, &names, &name_count, &error) != 1)
        return Refusal(TakeError(error, "cannot find the segments of " + path));
    libewf_handle_t* handle = nullptr;
    if (libewf_handle_initialize(&handle, &error) != 1) {
        libewf_glob_free(names, name_count, nullptr);
        return Refusal(TakeError(error, "cannot read " + path));
    }
    const int opened = libewf_handle_open(handle, names, name_count, LIBEWF_OPEN_READ, &error);
    libewf_glob_free(names, name_count, nullptr);
    if (opened != 1) {
        libewf_handle_free(&handle, nullptr);
        return Refusal(TakeError(error, "cannot open the EWF image " + path));
    }
    // A set whose last segment is missing or cut still opens; the library
    // notices that the segments do not end as a set must.
    if (libewf_handle_segment_files_corrupted(handle, &error) != 0) {
        std::string why = TakeError(error, "the EWF image " + path +
                                               " is incomplete or damaged: a segment file is missing or cut short");
        libewf_handle_close(handle, nullptr);
        libewf_handle_free(&handle, nullptr);
        return Refusal(why);
    }
    size64_t media = 0;
    std::uint32_t sector = 0;
    if (libewf_handle_get_media_size(handle, &media, &error) != 1 ||
        libewf_handle_get_bytes_per_sector(handle, &sector, &error) != 1 || sector == 0 ||
        media > static_cast<size64_t>(INT64_MAX)) {
        std::string why = TakeError(error, "the EWF image " + path + " gives no usable media size");
        libewf_handle_close(handle, nullptr);
        libewf_handle_free(&handle, nullptr);
        return Refusal(why);
    }
    return std::unique_ptr<ByteSource>(new EwfImage(handle, static_cast<std::int64_t>(media), sector));
}

}  // namespace verandol
