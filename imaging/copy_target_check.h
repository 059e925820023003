// Keeps a device copy from landing on the device it copies: writing there
// would overwrite what is still to be read.
#pragma once

#include <string>

namespace verandol {

// Why the file `target` (the image or its map) may not be written while
// `source` is copied, or empty: it is the source itself (by any path or
// link), a device, or in a folder on the source's device, a partition of
// it, its whole disk, or a mount of the source image file.
std::string CopyTargetRefusal(const std::string& source, const std::string& target);

}  // namespace verandol
