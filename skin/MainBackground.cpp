#include "MainBackground.h"

#include "SkinBitmaps.h"

#include <QPainter>

namespace quello {

void PaintMainBackground(QPainter& painter) {
    const QImage background = SkinBitmaps::Load(kBmpBackground);
    if (!background.isNull())
        painter.drawImage(0, 24, background);
}

} // namespace quello
