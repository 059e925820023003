#include "reading/rescue_map_file.h"

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

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

Outcome<RescueMap> LoadRescueMap(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Refusal(Why("read the map", path));
    std::string text;
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const std::string why = Why("read the map", path);
            ::close(fd);
            return Refusal(why);
        }
        if (got == 0) break;
        if (text.size() + static_cast<std::size_t>(got) > kMaxMapTextBytes) {
            ::close(fd);
            return Refusal("the map " + path + " is larger than any map of a device could be");
        }
        text.append(chunk, static_cast<std::size_t>(got));
    }
    ::close(fd);
    Outcome<RescueMap> map = ParseRescueMap(text);
    if (!map) return Refusal("the map " + path + " cannot be read: " + map.reason());
    return map;
}

std::string SaveRescueMap(const std::string& path, const std::string& text) {
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return Why("write the map beside", path);
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t put = ::write(fd, text.data() + written, text.size() - written);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) break;
        written += static_cast<std::size_t>(put);
    }
    std::string failure;
    if (written < text.size() || ::fchmod(fd, 0644) != 0 || ::fsync(fd) != 0) failure = Why("write the map", temporary);
    ::close(fd);
    if (failure.empty() && ::rename(temporary.c_str(), path.c_str()) != 0) failure = Why("replace the map", path);
    if (!failure.empty()) {
        ::unlink(temporary.c_str());
        return failure;
    }
    // The rename itself lasts only once the folder is on the disk.
    const int folder = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return {};
}

}  // namespace verandol
