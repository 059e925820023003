#include "ui/list_text_compare.h"

#include <algorithm>

#include "text/ascii_case.h"

namespace verandol {

namespace {

// Upper case, compared as unsigned bytes: letters come before '_' (95).
int Folded(char c) { return static_cast<unsigned char>(AsciiUpper(c)); }

}  // namespace

int CompareListTexts(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const int difference = Folded(a[i]) - Folded(b[i]);
        if (difference != 0) return difference;
    }
    return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

}  // namespace verandol
