#include <libvhdi.h>

#include "disk/library_image.h"
#include "disk/virtual_disk_image.h"

namespace verandol {

namespace {

struct Vhdi {
    using Handle = libvhdi_file_t;
    static ssize_t Read(Handle* file, void* data, std::size_t size, std::int64_t offset) {
        libvhdi_error_t* error = nullptr;
        const ssize_t got = libvhdi_file_read_buffer_at_offset(file, data, size, offset, &error);
        if (error) libvhdi_error_free(&error);
        return got;
    }
    static void Release(Handle* file) {
        libvhdi_file_close(file, nullptr);
        libvhdi_file_free(&file, nullptr);
    }
};

std::string TakeError(libvhdi_error_t*& error, const std::string& what) {
    std::string text = what;
    char buffer[512] = {};
    if (error && libvhdi_error_sprint(error, buffer, sizeof buffer) > 0) text += ": " + InnermostLine(buffer);
    if (error) libvhdi_error_free(&error);
    return text;
}

}  // namespace

bool VhdSupported() { return true; }

Outcome<std::unique_ptr<ByteSource>> OpenVhdImage(const std::string& path) {
    libvhdi_error_t* error = nullptr;
    libvhdi_file_t* file = nullptr;
    if (libvhdi_file_initialize(&file, &error) != 1) return Refusal(TakeError(error, "cannot read " + path));
    if (libvhdi_file_open(file, path.c_str(), LIBVHDI_OPEN_READ, &error) != 1) {
        libvhdi_file_free(&file, nullptr);
        return Refusal(TakeError(error, "cannot open the VHD image " + path));
    }
    std::uint32_t type = 0;
    size64_t media = 0;
    if (libvhdi_file_get_disk_type(file, &type, &error) != 1 ||
        libvhdi_file_get_media_size(file, &media, &error) != 1 || media > static_cast<size64_t>(INT64_MAX)) {
        std::string why = TakeError(error, "the VHD image " + path + " gives no usable media size");
        Vhdi::Release(file);
        return Refusal(why);
    }
    if (type == LIBVHDI_DISK_TYPE_DIFFERENTIAL) {
        Vhdi::Release(file);
        return Refusal(path + " is a differencing VHD image, which holds only the changes made since its parent "
                              "image; open the parent, or merge the two into one image first");
    }
    return std::unique_ptr<ByteSource>(new LibraryImage<Vhdi>(file, static_cast<std::int64_t>(media)));
}

}  // namespace verandol
