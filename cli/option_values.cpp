#include "cli/option_values.h"

namespace verandol::cli {

TakenOption TakeOption(std::vector<std::string>& args, const std::string& name) {
    TakenOption taken;
    const std::string joined = name + "=";
    for (std::size_t i = 0; i < args.size();) {
        std::size_t width = 1;
        if (args[i] == name) {
            if (i + 1 == args.size()) {
                taken.error = name + " needs a value";
                return taken;
            }
            taken.values.push_back(args[i + 1]);
            width = 2;
        } else if (args[i].starts_with(joined)) {
            taken.values.push_back(args[i].substr(joined.size()));
        } else {
            ++i;
            continue;
        }
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i + width));
    }
    return taken;
}

}  // namespace verandol::cli
