// Off-screen painting over a target: everything is drawn into an image of the target
// rectangle's size (first filled with the button-face colour) and reaches the target in one
// copy when the painter is destroyed, so nothing flickers.
// Ownership: the target must outlive the painter. Use inside the target's paint event (for a
// widget) or anywhere for an image. GUI thread only.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>

class QPaintDevice;

namespace quello {

class CMemPaintDC {
public:
    CMemPaintDC(QPaintDevice* target, const QRect& rect, QColor buttonFace);
    ~CMemPaintDC();
    CMemPaintDC(const CMemPaintDC&) = delete;
    CMemPaintDC& operator=(const CMemPaintDC&) = delete;

    QPainter& painter() { return m_painter; }
    QPainter* operator->() { return &m_painter; }
    const QRect& rect() const { return m_rect; }

private:
    QPaintDevice* m_target;
    QRect m_rect;
    QImage m_buffer;
    QPainter m_painter;
};

} // namespace quello
