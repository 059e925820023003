// ZIP and the formats built on it (DOCX, XLSX, PPTX, ODF, EPUB, JAR): local
// headers and their data, the central directory, up to the end of central
// directory record. Verified when every member's CRC-32 matched its data
// (deflated members inflated through zlib) and the central directory
// counts every member; Complete when the structure closes but a member
// could not be checked (encrypted, another method).
#pragma once

#include "carve/carve_reader.h"
#include "carve/formats/walked_file.h"
#include "ntfs/byte_reader.h"

namespace verandol {

bool ZipStarts(ByteSpan head);
WalkResult WalkZip(CarveReader& in);

}  // namespace verandol
