// Which rows of a long list to keep in view: by name, folder, size, kind
// of file and whether the data is still all there. The window's filter bar and the
// command line's options are the same test.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "scan/deleted_file_row.h"
#include "text/type_groups.h"

namespace verandol {

struct RowFilter {
    // Shell patterns ("*", "?", "[...]") over the whole name and the whole
    // folder path; empty matches anything.
    std::string name_glob;
    std::string folder_glob;
    // Kept when the name or the folder contains it; empty matches anything.
    std::string text;
    std::int64_t min_size = 0;
    bool recoverable_only = false;  // only rows whose data is 100% unclaimed
    // Only rows whose type (the name's extension) falls in this group.
    std::optional<TypeGroup> group{};

    bool IsEmpty() const;
    // `type` is the row's extension, "." included.
    bool Accepts(std::string_view name, std::string_view folder, std::int64_t size, int recoverable,
                 std::string_view type = {}) const;
    bool Accepts(const DeletedFileRow& row) const {
        return Accepts(row.name, row.folder, row.size, row.recoverable, row.type);
    }
    // The command line's two halves of the same test (it has no `text`): what
    // a row shows during the walk, and its folder, known after it.
    bool AcceptsBeforeFolder(const DeletedFileRow& row) const;
    bool AcceptsFolder(std::string_view folder) const;
};

// Both tests ignore the case of ASCII letters, as a person typing expects.
bool GlobMatches(std::string_view pattern, std::string_view text);
bool ContainsFolded(std::string_view text, std::string_view part);

}  // namespace verandol
