// Which ZIP-based format an archive is, told by its members' names and the
// ODF/EPUB "mimetype" member, as they are met.
#pragma once

#include <string>
#include <string_view>

namespace verandol {

class ZipKind {
public:
    // Each member's name in order, with the stored content of a first
    // member called "mimetype" (empty otherwise).
    void Member(std::string_view name, std::string_view mimetype_content);
    // The extension, without the dot: "zip" when nothing says otherwise.
    std::string Extension() const;

private:
    bool first_ = true;
    std::string from_mimetype_;
    bool content_types_ = false, word_ = false, excel_ = false, powerpoint_ = false, manifest_ = false,
         android_ = false;
};

}  // namespace verandol
