// Output paths that never land on a file written earlier in the same run.
#pragma once

#include <set>
#include <string>

namespace verandol {

// The path with " (n)" put before the extension of its last component:
// "a.txt" -> "a (1).txt", "noext" -> "noext (1)", ".profile" -> ".profile (1)".
// A leading dot starts a name, not an extension. The component is shortened
// at a character boundary if the suffix would take it past 255 bytes.
std::string SuffixedPath(const std::string& path, int n);

// Deleted files often share a name (several "a.txt" from different folders,
// or one position asked for twice), and RecoverFile replaces whatever is at
// its output path, so a second file of a name would silently destroy the
// first one's data.
class UniquePaths {
public:
    // `path` itself the first time, then the first free suffixed form.
    std::string Claim(const std::string& path);

private:
    std::set<std::string> taken_;
};

}  // namespace verandol
