#include "cli/map_option.h"

#include <sys/stat.h>

#include "disk/volume_address.h"
#include "reading/image_maps.h"

namespace verandol::cli {

std::string TakeMapOption(std::vector<std::string>& args) {
    std::string map;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string value;
        std::size_t taken = 1;
        if (args[i] == "--map") {
            if (i + 1 == args.size()) return "--map needs a map file";
            value = args[i + 1];
            taken = 2;
        } else if (args[i].starts_with("--map=")) {
            value = args[i].substr(6);
        } else {
            continue;
        }
        if (value.empty()) return "--map needs a map file";
        if (!map.empty()) return "--map is given twice";
        map = value;
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i + taken));
        --i;
    }
    if (map.empty()) return {};
    // The operands are volume addresses ("copy.img@2"), an output folder
    // or filter values: only files can be device copies.
    for (const std::string& arg : args) {
        const std::string path = ParseVolumeAddress(arg).path;
        struct stat st {};
        if (!arg.starts_with("-") && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ReadImageWithMap(path, map);
    }
    return {};
}

}  // namespace verandol::cli
