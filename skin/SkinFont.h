// A font and a text colour for skin text. Value type; GUI thread only.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

namespace quello {

class SkinFont {
public:
    // A 12-pixel regular sans-serif face named `face`, falling back to the nearest installed
    // family; text colour black.
    explicit SkinFont(const QString& face);

    const QFont& font() const { return m_font; }
    QColor textColor() const { return m_textColor; }
    void SetTextColor(QColor colour) { m_textColor = colour; }

private:
    QFont m_font;
    QColor m_textColor{Qt::black};
};

} // namespace quello
