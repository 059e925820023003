// Options that take a value and may stand anywhere among the arguments.
#pragma once

#include <string>
#include <vector>

namespace verandol::cli {

struct TakenOption {
    std::vector<std::string> values;  // in the order given
    std::string error;                // set for a NAME with nothing after it
};

// Takes every "NAME VALUE" and "NAME=VALUE" out of `args`.
TakenOption TakeOption(std::vector<std::string>& args, const std::string& name);

}  // namespace verandol::cli
