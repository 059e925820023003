// The row filters both commands take: --name GLOB, --folder GLOB,
// --min-size N and --recoverable.
#pragma once

#include <string>
#include <vector>

#include "scan/row_filter.h"

namespace verandol::cli {

struct FilterArgs {
    RowFilter filter;
    std::vector<std::string> rest;  // every argument that is not a filter option
    std::string error;              // set when a filter option is malformed
};

FilterArgs TakeFilterOptions(const std::vector<std::string>& args);

}  // namespace verandol::cli
