#include "reading/image_maps.h"

#include <map>
#include <mutex>

namespace verandol {

namespace {

std::mutex mutex;
std::map<std::string, std::string>& Maps() {
    static std::map<std::string, std::string> maps;
    return maps;
}

}  // namespace

void ReadImageWithMap(const std::string& image_path, const std::string& map_path) {
    std::lock_guard lock(mutex);
    if (map_path.empty())
        Maps().erase(image_path);
    else
        Maps()[image_path] = map_path;
}

std::string MapOfImage(const std::string& image_path) {
    std::lock_guard lock(mutex);
    auto found = Maps().find(image_path);
    return found == Maps().end() ? std::string() : found->second;
}

}  // namespace verandol
