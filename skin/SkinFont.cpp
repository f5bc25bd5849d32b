#include "SkinFont.h"

namespace quello {

SkinFont::SkinFont(const QString& face) : m_font(face) {
    m_font.setPixelSize(12);
    m_font.setWeight(QFont::Normal);
    m_font.setItalic(false);
    m_font.setUnderline(false);
    m_font.setStrikeOut(false);
    m_font.setStyleHint(QFont::SansSerif, QFont::PreferQuality);
}

} // namespace quello
