// The recovery's unique output paths, under the names the command line has
// always used for them.
#pragma once

#include "recover/unique_paths.h"

namespace verandol::cli {

using verandol::SuffixedPath;
using verandol::UniquePaths;

}  // namespace verandol::cli
