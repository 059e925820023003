#include "cli/filter_options.h"

#include <cerrno>
#include <cstdlib>

#include "text/type_groups.h"

namespace verandol::cli {

namespace {

bool ParseSize(const std::string& text, std::int64_t& size) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0') return false;
    size = value;
    return true;
}

}  // namespace

FilterArgs TakeFilterOptions(const std::vector<std::string>& args) {
    FilterArgs out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--recoverable") {
            out.filter.recoverable_only = true;
            continue;
        }
        if (arg != "--name" && arg != "--folder" && arg != "--min-size" && arg != "--kind") {
            out.rest.push_back(arg);
            continue;
        }
        if (i + 1 >= args.size()) {
            out.error = arg + " needs a value";
            return out;
        }
        const std::string& value = args[++i];
        if (arg == "--name") out.filter.name_glob = value;
        if (arg == "--folder") out.filter.folder_glob = value;
        if (arg == "--kind") {
            out.filter.group = TypeGroupNamed(value);
            if (!out.filter.group) {
                out.error = "--kind wants Photos, Documents, Archives, Audio, Video or Other, not " + value;
                return out;
            }
        }
        if (arg == "--min-size" && !ParseSize(value, out.filter.min_size)) {
            out.error = "--min-size wants a number of bytes, not " + value;
            return out;
        }
    }
    return out;
}

}  // namespace verandol::cli
