// PDF: from "%PDF-" to the last "%%EOF" whose "startxref" leads to a
// cross-reference section ("xref", or an "N G obj" holding an xref stream)
// within the file; incremental updates appended later extend it. Complete
// when such an end is found: PDF carries no checksum.
#pragma once

#include "carve/carve_reader.h"
#include "carve/formats/walked_file.h"
#include "ntfs/byte_reader.h"

namespace verandol {

bool PdfStarts(ByteSpan head);
WalkResult WalkPdf(CarveReader& in);

}  // namespace verandol
