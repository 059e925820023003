#include "recover/unique_paths.h"

#include "recover/output_name.h"

#include <cstddef>
#include <string_view>

namespace verandol {

std::string SuffixedPath(const std::string& path, int n) {
    const std::size_t slash = path.rfind('/');
    const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
    const std::string_view name = std::string_view(path).substr(name_start);
    const std::size_t dot = name.rfind('.');
    const bool has_extension = dot != std::string_view::npos && dot > 0;
    std::string_view stem = has_extension ? name.substr(0, dot) : name;
    std::string_view extension = has_extension ? name.substr(dot) : std::string_view();

    const std::string suffix = " (" + std::to_string(n) + ")";
    const std::size_t budget = kMaxFileNameBytes - suffix.size();
    if (stem.size() + extension.size() > budget) {
        if (extension.size() < budget) {
            stem = Utf8Prefix(stem, budget - extension.size());
        } else {
            stem = Utf8Prefix(name, budget);
            extension = {};
        }
    }
    std::string out = path.substr(0, name_start);
    out.append(stem);
    out += suffix;
    out.append(extension);
    return out;
}

std::string UniquePaths::Claim(const std::string& path) {
    std::string candidate = path;
    for (int n = 1; taken_.count(candidate) != 0; ++n) candidate = SuffixedPath(path, n);
    taken_.insert(candidate);
    return candidate;
}

}  // namespace verandol
