// Keeps recovered files off the volume they are read from.
#pragma once

#include <string>

namespace verandol {

// True when `volume_path` is a block device and `folder` lies on that very
// device: writing there could overwrite clusters still to be recovered. An
// image file is never refused, since writing beside it leaves its bytes alone.
bool OutputFolderOnVolume(const std::string& volume_path, const std::string& folder);

}  // namespace verandol
