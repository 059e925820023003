// Names for carved files. A carved file takes the name, folder and times of
// the one file the volume remembers (in its folders' index blocks) with its
// exact length and its type whose record no longer holds it; else the name
// of the one such file of its type the change journal names; else the name
// its content gives; else it keeps the name made from where it lies.
#pragma once

#include <vector>

#include "naming/usn_records.h"
#include "naming/volume_memory.h"
#include "scan/deleted_file_row.h"

namespace verandol {

// Whether a remembered name may be a carved file's of `extension` (no dot):
// the same extension, or one the format's files also carry (a ZIP found is
// an .xlsx or a .jar as well; "jpeg" is "jpg").
bool ExtensionFits(std::string_view remembered_name, std::string_view extension);

// Renames the carved rows among `rows` (those CarvedRow made) and sets
// their named_from; the names of two rows may come out the same (the
// recovery gives each its own output name).
void NameCarvedRows(std::vector<DeletedFileRow>& rows, VolumeMemory& memory, const std::vector<JournalName>& journal,
                    ByteSource& volume);

}  // namespace verandol
