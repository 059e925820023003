// OLE2 compound files (Word DOC, Excel XLS, PowerPoint PPT, Outlook MSG): a
// header, then sectors of 512 or 4096 bytes chained through a file
// allocation table whose own sectors the header and its DIFAT sectors list.
// The directory, the streams and the mini stream are chains of that table.
// Nothing marks the end: the file is as long as its highest sector in use.
// No checksum: Complete when the table's sectors are marked as such, every
// chain ends where its stream's size says, and no sector is in two chains.
// The extension comes from the streams the root storage holds.
#pragma once

#include "carve/carve_reader.h"
#include "carve/formats/walked_file.h"
#include "ntfs/byte_reader.h"

namespace verandol {

bool Ole2Starts(ByteSpan head);
WalkResult WalkOle2(CarveReader& in);

}  // namespace verandol
