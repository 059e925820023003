#include "recover/output_name.h"

#include "text/record_texts.h"

namespace verandol {

std::string_view Utf8Prefix(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return text;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

std::string SafeOutputName(std::string_view name, int row_index) {
    if (name.empty()) return "File_" + std::to_string(row_index);
    if (name == ".") return "_";
    if (name == "..") return "__";
    std::string safe(name);
    for (char& c : safe)
        if (c == '/' || c == '\0') c = '_';
    if (safe.size() > kMaxFileNameBytes) {
        std::string extension = FileExtension(safe);
        if (extension.size() > kMaxFileNameBytes / 4) extension.clear();
        std::string_view stem(safe.data(), safe.size() - extension.size());
        safe = std::string(Utf8Prefix(stem, kMaxFileNameBytes - extension.size())) + extension;
    }
    return safe;
}

std::string NamelessFileName(int row_index, std::string_view type) {
    std::string name = "File_" + std::to_string(row_index);
    // A type is one extension: anything else is left off, and the name is
    // made safe with the others.
    if (type.size() > 1 && type.front() == '.' && type.find('.', 1) == std::string_view::npos &&
        type.size() <= kMaxFileNameBytes / 4)
        name.append(type);
    return name;
}

std::string OutputPath(const std::string& folder, bool own_name, std::string_view name, int row_index) {
    std::string file = own_name ? SafeOutputName(name, row_index) : "File_" + std::to_string(row_index);
    if (!folder.empty() && folder.back() == '/') return folder + file;
    return folder + "/" + file;
}

}  // namespace verandol
