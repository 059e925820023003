// "--map MAPFILE" for the commands that read a volume: the image they read
// is a device copy, and MAPFILE the copier's map of what it could read.
#pragma once

#include <string>
#include <vector>

namespace verandol::cli {

// Takes "--map MAPFILE" (or "--map=MAPFILE") out of `args` (the command's
// arguments) and has the image files among the operands read with that
// map: the areas it does not mark finished are unreadable. An error text
// for a --map without a file or given twice.
std::string TakeMapOption(std::vector<std::string>& args);

}  // namespace verandol::cli
