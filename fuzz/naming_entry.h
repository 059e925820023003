#pragma once

#include "ntfs/byte_reader.h"

namespace verandol::fuzz {

// Any bytes as a stretch of the change journal: every record handed out
// names a file, the cut-short point lies inside the input, and each file
// keeps one name.
void FuzzUsnRecords(ByteSpan input);

// Any bytes as a photo's head: a date taken that reads as one, and a
// file name that is never a path.
void FuzzExifName(ByteSpan input);

// Any bytes as a PDF: a title is never empty, its file name never a path.
void FuzzPdfTitle(ByteSpan input);

// Any bytes as an Office document's ZIP: a title is never empty and never
// longer than the properties it is read from.
void FuzzOfficeTitle(ByteSpan input);

// Any bytes as slack (the first byte says where the live bytes end, in
// 8-byte steps): every $FILE_NAME copy found holds a name that is never a
// path and lies inside the input, and a data size.
void FuzzStaleFileNames(ByteSpan input);

// Any bytes as a volume whose carved files are named: its folders' index
// blocks and change journal are read wherever its records point, and a
// name given is one of a file, with where it came from.
void FuzzNamingVolume(ByteSpan input);

}  // namespace verandol::fuzz
