#include "cli/map_option.h"

#include <sys/stat.h>

#include "cli/option_values.h"
#include "disk/volume_address.h"
#include "reading/image_maps.h"

namespace verandol::cli {

std::string TakeMapOption(std::vector<std::string>& args) {
    const TakenOption taken = TakeOption(args, "--map");
    if (!taken.error.empty()) return "--map needs a map file";
    if (taken.values.size() > 1) return "--map is given twice";
    const std::string map = taken.values.empty() ? std::string() : taken.values[0];
    if (!taken.values.empty() && map.empty()) return "--map needs a map file";
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
