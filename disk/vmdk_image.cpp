#include <libvmdk.h>

#include <filesystem>

#include "disk/library_image.h"
#include "disk/virtual_disk_image.h"

namespace verandol {

namespace {

struct Vmdk {
    using Handle = libvmdk_handle_t;
    static ssize_t Read(Handle* handle, void* data, std::size_t size, std::int64_t offset) {
        libvmdk_error_t* error = nullptr;
        const ssize_t got = libvmdk_handle_read_buffer_at_offset(handle, data, size, offset, &error);
        if (error) libvmdk_error_free(&error);
        return got;
    }
    static void Release(Handle* handle) {
        libvmdk_handle_close(handle, nullptr);
        libvmdk_handle_free(&handle, nullptr);
    }
};

std::string TakeError(libvmdk_error_t*& error, const std::string& what) {
    std::string text = what;
    char buffer[512] = {};
    if (error && libvmdk_error_sprint(error, buffer, sizeof buffer) > 0) text += ": " + InnermostLine(buffer);
    if (error) libvmdk_error_free(&error);
    return text;
}

}  // namespace

bool VmdkSupported() { return true; }

Outcome<std::unique_ptr<ByteSource>> OpenVmdkImage(const std::string& path) {
    libvmdk_error_t* error = nullptr;
    libvmdk_handle_t* handle = nullptr;
    if (libvmdk_handle_initialize(&handle, &error) != 1) return Refusal(TakeError(error, "cannot read " + path));
    if (libvmdk_handle_open(handle, path.c_str(), LIBVMDK_OPEN_READ, &error) != 1) {
        libvmdk_handle_free(&handle, nullptr);
        return Refusal(TakeError(error, "cannot open the VMDK image " + path));
    }
    // The extents a descriptor names are looked for in its own folder.
    const std::string folder = std::filesystem::path(path).parent_path().string();
    size64_t media = 0;
    if ((!folder.empty() &&
         libvmdk_handle_set_extent_data_files_path(handle, folder.c_str(), folder.size(), &error) != 1) ||
        libvmdk_handle_open_extent_data_files(handle, &error) != 1 ||
        libvmdk_handle_get_media_size(handle, &media, &error) != 1 || media > static_cast<size64_t>(INT64_MAX)) {
        std::string why = TakeError(error, "cannot read the VMDK image " + path + " and its extents");
        Vmdk::Release(handle);
        return Refusal(why);
    }
    return std::unique_ptr<ByteSource>(new LibraryImage<Vmdk>(handle, static_cast<std::int64_t>(media)));
}

}  // namespace verandol
