// The window's typeface at the pixel sizes of its design.
#pragma once

#include <QFont>

namespace verandol {

// Tahoma where installed, else the substitutes that hold Latin and Chinese.
QFont TahomaFont(int pixel_size, bool bold = false);

}  // namespace verandol
