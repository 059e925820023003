#include "recover/colon_names.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace verandol {

bool FolderTakesColons(const std::string& folder) {
    thread_local std::mt19937 names{std::random_device{}()};
    char probe[40];
    std::snprintf(probe, sizeof probe, "/.verandol-%08x:probe", static_cast<unsigned>(names()));
    const std::string path = (folder.empty() ? std::string(".") : folder) + probe;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(path.c_str());
    return true;
}

std::string WithoutColons(std::string name) {
    std::replace(name.begin(), name.end(), ':', '_');
    return name;
}

}  // namespace verandol
