// A disk image read through its format's library, as a ByteSource.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "ntfs/byte_source.h"

namespace verandol {

// `Library` supplies Handle, Read(handle, data, size, offset) returning the
// bytes read or -1, and Release(handle). The handle is owned from here on.
template <class Library>
class LibraryImage final : public ByteSource {
public:
    LibraryImage(typename Library::Handle* handle, std::int64_t size) : handle_(handle), size_(size) {}
    ~LibraryImage() override { Library::Release(handle_); }
    LibraryImage(const LibraryImage&) = delete;
    LibraryImage& operator=(const LibraryImage&) = delete;

    std::size_t ReadAt(std::int64_t position, MutableByteSpan out) override {
        if (position < 0 || position >= size_ || out.empty()) return 0;
        const std::size_t n = static_cast<std::size_t>(
            std::min<std::uint64_t>(out.size(), static_cast<std::uint64_t>(size_ - position)));
        const auto got = Library::Read(handle_, out.data(), n, position);
        return got <= 0 ? 0 : std::min(static_cast<std::size_t>(got), n);
    }
    std::int64_t Size() const override { return size_; }

private:
    typename Library::Handle* handle_;
    std::int64_t size_;
};

// The innermost line of a library's error text: the line that says what
// was actually wrong.
inline std::string InnermostLine(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '.')) text.pop_back();
    const std::size_t nl = text.rfind('\n');
    return nl == std::string::npos ? text : text.substr(nl + 1);
}

}  // namespace verandol
