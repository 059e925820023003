// The name a carved file's own content gives it: a photo's date taken and
// camera, a PDF's or an Office document's title.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "carve/carve_check.h"
#include "ntfs/byte_source.h"

namespace verandol {

// The name `bytes` (a file's first bytes, and for a PDF possibly its last
// ones after them) give a file of `extension` (no dot), the extension
// added; nullopt when they hold none.
std::optional<std::string> ContentNameOf(ByteSpan bytes, std::string_view extension);

// The same for a carved file on `volume`, reading at most a few MiB of it.
std::optional<std::string> ContentName(ByteSource& volume, const CarvedExtent& extent, std::string_view extension);

// `text` made fit to be a file name: no path separators or control
// characters (each becomes "_"), no spaces or dots at its ends, at most 200
// bytes cut at a character boundary. Empty when nothing is left.
std::string FileNameFromText(std::string_view text);

}  // namespace verandol
