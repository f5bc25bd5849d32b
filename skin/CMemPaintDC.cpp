#include "CMemPaintDC.h"

namespace quello {

CMemPaintDC::CMemPaintDC(QPaintDevice* target, const QRect& rect, QColor buttonFace)
    : m_target(target), m_rect(rect), m_buffer(rect.size(), QImage::Format_ARGB32_Premultiplied) {
    m_buffer.fill(buttonFace);
    m_painter.begin(&m_buffer);
    // Drawing goes to the rectangle's own coordinates, like the target's.
    m_painter.translate(-m_rect.topLeft());
}

CMemPaintDC::~CMemPaintDC() {
    m_painter.end();
    if (m_target == nullptr || m_buffer.isNull())
        return;
    QPainter out(m_target);
    out.setCompositionMode(QPainter::CompositionMode_Source);
    out.drawImage(m_rect.topLeft(), m_buffer);
}

} // namespace quello
