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

    const QFont& font() const { return font_; }
    QColor textColor() const { return textColor_; }
    void setTextColor(QColor colour) { textColor_ = colour; }

private:
    QFont font_;
    QColor textColor_{Qt::black};
};

} // namespace quello
