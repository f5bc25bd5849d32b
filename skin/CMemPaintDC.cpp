#include "CMemPaintDC.h"

namespace quello {

CMemPaintDC::CMemPaintDC(QPaintDevice* target, const QRect& rect, QColor buttonFace)
    : target_(target), rect_(rect), buffer_(rect.size(), QImage::Format_ARGB32_Premultiplied) {
    buffer_.fill(buttonFace);
    painter_.begin(&buffer_);
    // Drawing goes to the rectangle's own coordinates, like the target's.
    painter_.translate(-rect_.topLeft());
}

CMemPaintDC::~CMemPaintDC() {
    painter_.end();
    if (target_ == nullptr || buffer_.isNull())
        return;
    QPainter out(target_);
    out.setCompositionMode(QPainter::CompositionMode_Source);
    out.drawImage(rect_.topLeft(), buffer_);
}

} // namespace quello
