// Which image files of this run are copies of a device with a copier's map
// beside them: every opening of such an image reads it with its map
// (disk/open_volume.cpp), so the areas the copier could not read are
// unreadable here too rather than zeros taken for data.
#pragma once

#include <string>

namespace verandol {

// From now on `image_path` (as it is opened) is read with the map in
// `map_path`; an empty `map_path` reads it plainly again.
void ReadImageWithMap(const std::string& image_path, const std::string& map_path);

// The map `image_path` is read with, or empty.
std::string MapOfImage(const std::string& image_path);

}  // namespace verandol
