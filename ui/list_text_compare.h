// The order the list sorts by: every column compares as text.
#pragma once

#include <string_view>

namespace verandol {

// Byte by byte over the UTF-8 texts with only a-z folded to upper case, so
// "_" (95) sorts after every letter and "100" before "20"; at the first
// difference the mapped bytes' difference, else the length difference.
int CompareListTexts(std::string_view a, std::string_view b);

}  // namespace verandol
