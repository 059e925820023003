// One deleted file as a line of scan output.
#pragma once

#include <string>

#include "scan/deleted_file_row.h"

namespace verandol::cli {

// The window's column captions, tab-separated, so a script can match on the
// same names a person sees.
std::string TsvHeader();
std::string TsvRow(const DeletedFileRow& row);

// The display texts for people, plus UTC texts for scripts that compare
// times across machines in different zones.
std::string JsonRow(const DeletedFileRow& row);

}  // namespace verandol::cli
