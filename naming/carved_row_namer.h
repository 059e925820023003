// The namer the carve of the command line and of the window use: the
// volume's memory (its folders' index blocks and their slack, index blocks
// met in free clusters, the change journal) and the files' own content.
#pragma once

#include <memory>
#include <optional>

#include "disk/published_geometry.h"
#include "ntfs/byte_source.h"
#include "scan/carved_rows.h"

namespace verandol {

std::unique_ptr<CarvedRowNamer> MakeCarvedRowNamer(ByteSource& volume,
                                                   const std::optional<PublishedGeometry>& published);

}  // namespace verandol
