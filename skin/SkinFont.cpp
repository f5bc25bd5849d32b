#include "SkinFont.h"

namespace quello {

SkinFont::SkinFont(const QString& face) : font_(face) {
    font_.setPixelSize(12);
    font_.setWeight(QFont::Normal);
    font_.setItalic(false);
    font_.setUnderline(false);
    font_.setStrikeOut(false);
    font_.setStyleHint(QFont::SansSerif, QFont::PreferQuality);
}

} // namespace quello
