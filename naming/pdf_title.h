// A PDF's title, from its document information dictionary, when the
// dictionary lies in plain text (not inside a compressed object stream).
#pragma once

#include <optional>
#include <string>

#include "ntfs/byte_reader.h"

namespace verandol {

// The last "/Title" string in `pdf` that reads as one, a literal "(...)" or
// hexadecimal "<...>" string, as UTF-8: UTF-16 after a byte order mark,
// otherwise each byte as its Latin-1 character. Nullopt when there is none
// or it is empty.
std::optional<std::string> ReadPdfTitle(ByteSpan pdf);

}  // namespace verandol
