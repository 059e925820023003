// Recovery that keeps the folders: each file goes into its folder path
// beneath the output folder. Every component is made safe the way a file
// name is, so nothing a volume says can lead outside the output folder.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "ntfs/outcome.h"
#include "recover/unique_paths.h"

namespace verandol {

// The folder names below the output folder for a row's folder path
// ("/a/b" -> a, b; "<lost folder #12>/sub" -> _lost_folder_12, sub). None is
// empty, ".", "..", or holds "/" or NUL.
std::vector<std::string> KeptFolderComponents(std::string_view folder);

class KeptFolders {
public:
    explicit KeptFolders(std::string out_dir);

    // Creates the row's folder as needed and returns the file's path in it,
    // never one `paths` handed out before (" (n)" is added instead).
    // Where something that is not a folder holds a component's name, the
    // folder is made beside it as "name (n)". Refused when a folder cannot
    // be created.
    Outcome<std::string> PathFor(std::string_view folder, std::string_view name, int row_index, bool own_name,
                                 UniquePaths& paths);

private:
    Outcome<std::string> MakeFolder(std::string_view folder);

    std::string out_dir_;
    std::map<std::string, std::string, std::less<>> made_;  // folder path -> folder on disk
};

}  // namespace verandol
