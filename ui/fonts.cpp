#include "ui/fonts.h"

#include <QStringList>

namespace verandol {

QFont TahomaFont(int pixel_size, bool bold) {
    static const bool substituted = [] {
        // "Noto Sans CJK SC" carries the Chinese stop caption of btnRecover.
        QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                                   {QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans CJK SC")});
        return true;
    }();
    (void)substituted;
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixel_size);
    font.setBold(bold);
    return font;
}

}  // namespace verandol
