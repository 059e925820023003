// Windows executables (PE): the MZ header points at "PE\0\0", the COFF
// header and the optional header; the file runs to the furthest of the
// headers, each section's raw data, the COFF symbol and string tables and
// the certificate table (whose directory entry, unlike the others, is a
// file offset). A DLL by its characteristics, a driver by its subsystem.
// Verified when the optional header's checksum is set and matches (it sums
// every byte but its own); otherwise complete: bytes appended after the
// image (an installer's payload) are not its own.
#pragma once

#include "carve/carve_reader.h"
#include "carve/formats/walked_file.h"
#include "ntfs/byte_reader.h"

namespace verandol {

bool PeStarts(ByteSpan head);
WalkResult WalkPe(CarveReader& in);

}  // namespace verandol
