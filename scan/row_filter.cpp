#include "scan/row_filter.h"

#include <fnmatch.h>

#include <algorithm>

#include "text/ascii_case.h"

namespace verandol {

bool GlobMatches(std::string_view pattern, std::string_view text) {
    // fnmatch works on C strings; a name holding NUL is cut there, which
    // only makes it match less.
    const std::string p(pattern), t(text);
    return fnmatch(p.c_str(), t.c_str(), FNM_CASEFOLD) == 0;
}

bool ContainsFolded(std::string_view text, std::string_view part) {
    if (part.empty()) return true;
    return std::search(text.begin(), text.end(), part.begin(), part.end(),
                       [](char a, char b) { return AsciiLower(a) == AsciiLower(b); }) != text.end();
}

bool RowFilter::IsEmpty() const {
    return name_glob.empty() && folder_glob.empty() && text.empty() && min_size <= 0 && !recoverable_only && !group;
}

bool RowFilter::Accepts(std::string_view name, std::string_view folder, std::int64_t size, int recoverable,
                        std::string_view type) const {
    if (size < min_size) return false;
    if (group && TypeGroupOf(type) != *group) return false;
    if (recoverable_only && recoverable != 100) return false;
    if (!name_glob.empty() && !GlobMatches(name_glob, name)) return false;
    if (!AcceptsFolder(folder)) return false;
    return text.empty() || ContainsFolded(name, text) || ContainsFolded(folder, text);
}

bool RowFilter::AcceptsBeforeFolder(const DeletedFileRow& row) const {
    return row.size >= min_size && (!recoverable_only || row.recoverable == 100) &&
           (!group || TypeGroupOf(row.type) == *group) &&
           (name_glob.empty() || GlobMatches(name_glob, row.name));
}

bool RowFilter::AcceptsFolder(std::string_view folder) const {
    return folder_glob.empty() || GlobMatches(folder_glob, folder);
}

}  // namespace verandol
