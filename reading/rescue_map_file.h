// Reading a device copy's map from its file and saving it so that a crash
// or a power cut leaves the old map or the new one, never half of either.
#pragma once

#include <string>
#include <vector>

#include "ntfs/outcome.h"
#include "reading/rescue_map.h"

namespace verandol {

// The map in the file at `path`, or why it cannot be had (the reason names
// the file, and the line for a map that does not parse).
Outcome<RescueMap> LoadRescueMap(const std::string& path);

// Writes the map's text to a new file beside `path`, flushes it to the disk
// and renames it over `path`. Returns why it failed, or empty.
std::string SaveRescueMap(const std::string& path, const std::string& text);

}  // namespace verandol
