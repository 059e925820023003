#include "recover/kept_folders.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "recover/output_name.h"

namespace verandol {

namespace {

constexpr std::string_view kLostPrefix = "<lost folder #";
constexpr int kMaxVariants = 100;

// "_lost_folder_N" for the marker a broken chain starts with.
std::optional<std::string> LostFolderName(std::string_view component) {
    if (!component.starts_with(kLostPrefix) || !component.ends_with(">")) return std::nullopt;
    const std::string_view digits = component.substr(kLostPrefix.size(), component.size() - kLostPrefix.size() - 1);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
    return "_lost_folder_" + std::string(digits);
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    // lstat: a link someone left in the output folder is not followed.
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

std::vector<std::string> KeptFolderComponents(std::string_view folder) {
    std::vector<std::string> components;
    std::size_t start = folder.starts_with('/') ? 1 : 0;
    while (start <= folder.size()) {
        std::size_t end = folder.find('/', start);
        if (end == std::string_view::npos) end = folder.size();
        const std::string_view part = folder.substr(start, end - start);
        if (!(part.empty() && end == folder.size())) {
            auto lost = components.empty() ? LostFolderName(part) : std::nullopt;
            components.push_back(lost ? *lost : part.empty() ? "_" : SafeOutputName(part, 0));
        }
        start = end + 1;
    }
    return components;
}

KeptFolders::KeptFolders(std::string out_dir) : out_dir_(std::move(out_dir)) {
    while (out_dir_.size() > 1 && out_dir_.back() == '/') out_dir_.pop_back();
}

Outcome<std::string> KeptFolders::MakeFolder(std::string_view folder) {
    if (auto found = made_.find(folder); found != made_.end()) return found->second;
    std::string path = out_dir_;
    for (const std::string& component : KeptFolderComponents(folder)) {
        const std::string parent = path;
        bool made = false;
        for (int n = 0; n <= kMaxVariants && !made; ++n) {
            path = n == 0 ? parent + "/" + component : SuffixedPath(parent + "/" + component, n);
            if (mkdir(path.c_str(), 0777) == 0 || (errno == EEXIST && IsFolder(path))) made = true;
            else if (errno != EEXIST) return Refusal("cannot create the folder " + path + ": " + std::strerror(errno));
        }
        if (!made) return Refusal("cannot create the folder " + parent + "/" + component + ": the name is taken");
    }
    made_.emplace(std::string(folder), path);
    return path;
}

Outcome<std::string> KeptFolders::PathFor(std::string_view folder, std::string_view name, int row_index,
                                          bool own_name) {
    Outcome<std::string> dir = MakeFolder(folder);
    if (!dir) return dir;
    std::string path = OutputPath(*dir, own_name, name, row_index);
    // A folder made for another row may hold this file's name.
    for (int n = 1; IsFolder(path) && n <= kMaxVariants; ++n)
        path = SuffixedPath(OutputPath(*dir, own_name, name, row_index), n);
    return paths_.Claim(path);
}

}  // namespace verandol
