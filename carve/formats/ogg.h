// Ogg: pages ("OggS", a header with its segment table, then the segments),
// each with a CRC-32 over the whole page. The logical streams begin with
// their first pages together; the file ends with the page that ends the
// last of them. Verified when every page's CRC matches.
#pragma once

#include "carve/carve_reader.h"
#include "carve/formats/walked_file.h"
#include "ntfs/byte_reader.h"

namespace verandol {

bool OggStarts(ByteSpan head);
WalkResult WalkOgg(CarveReader& in);

}  // namespace verandol
