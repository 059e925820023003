// SQLite databases: a 100-byte header on the first page ("SQLite format 3",
// the page size, the format's fixed payload fractions, counters), then
// pages of that size. The header states the database's size in pages, and
// that count is current when the change counter equals the "version valid
// for" number beside it (writers before 3.7.0 did not keep it). No
// checksum: Complete when the header's fields hold together and the count
// is current; the file is then the page size times the page count.
#pragma once

#include "carve/carve_reader.h"
#include "carve/formats/walked_file.h"
#include "ntfs/byte_reader.h"

namespace verandol {

bool SqliteStarts(ByteSpan head);
WalkResult WalkSqlite(CarveReader& in);

}  // namespace verandol
