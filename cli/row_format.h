// One deleted file as a line of scan output.
#pragma once

#include <optional>
#include <string>

#include "scan/deleted_file_row.h"

namespace verandol::cli {

// The window's column captions, tab-separated, so a script can match on the
// same names a person sees.
// With `deleted_column` (scan --all) a last column says whether each file is
// deleted; the parts below add it when given `deleted`.
std::string TsvHeader(bool deleted_column = false);
std::string TsvRow(const DeletedFileRow& row);
// The same line in two parts, since a row's folder is known only after the
// walk: everything before the folder (its tab included), then the rest.
std::string TsvRowBeforeFolder(const DeletedFileRow& row);
std::string TsvRowFromFolder(const std::string& folder, int recoverable, std::optional<bool> deleted = {});

// The display texts for people, plus UTC texts for scripts that compare
// times across machines in different zones.
std::string JsonRow(const DeletedFileRow& row);
std::string JsonRowBeforeFolder(const DeletedFileRow& row);
std::string JsonRowFromFolder(const std::string& folder, int recoverable, std::optional<bool> deleted = {});

}  // namespace verandol::cli
