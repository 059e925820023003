// Whether an output folder takes names with a colon, as a named data
// stream's file ("report.doc:Zone.Identifier") is called.
#pragma once

#include <string>

namespace verandol {

// Asked of the folder itself, by making and removing an empty file whose
// name holds a colon: FAT, exFAT and NTFS mounted with Windows' name rules
// refuse one. False when the folder cannot be written at all.
bool FolderTakesColons(const std::string& folder);

// `name` with each colon made "_", for a folder that refuses them.
std::string WithoutColons(std::string name);

}  // namespace verandol
