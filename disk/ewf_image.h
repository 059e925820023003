// EnCase (EWF) images: the .E01 file and the .E02, .E03... segments beside it.
#pragma once

#include <memory>
#include <string>

#include "ntfs/outcome.h"
#include "ntfs/byte_source.h"

namespace verandol {

// Whether this build reads EWF images.
bool EwfSupported();

// Opens the image whose first segment is `path`, read-only, as the media it
// holds. A damaged or incomplete set of segments is refused with the reason;
// a chunk whose checksum fails once opened is not delivered (the read stops
// short before it), so damage shows as a short read, never as wrong bytes.
Outcome<std::unique_ptr<ByteSource>> OpenEwfImage(const std::string& path);

}  // namespace verandol
