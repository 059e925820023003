// Matroska and WebM: EBML elements (an ID and a size, both variable-length
// integers). The EBML header names the DocType ("matroska" or "webm"); then
// one Segment. With a known size it is complete when its children, each a
// known top-level element (and each Cluster's children known cluster
// elements), tile it exactly. A Segment written live, its size unknown, is
// walked while its elements are known ones, and is never more than
// incomplete: nothing says where it ends.
#pragma once

#include "carve/carve_reader.h"
#include "carve/formats/walked_file.h"
#include "ntfs/byte_reader.h"

namespace verandol {

bool MatroskaStarts(ByteSpan head);
WalkResult WalkMatroska(CarveReader& in);

}  // namespace verandol
