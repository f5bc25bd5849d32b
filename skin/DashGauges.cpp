#include "DashGauges.h"

#include "GaugeGeometry.h"
#include "SkinBitmaps.h"

#include <QPainter>

namespace quello {
namespace {

QImage MagentaToAlpha(const QImage& canvas) {
    QImage out = canvas.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((line[x] | 0xFF000000) == 0xFFFF00FF)
                line[x] = 0;
    }
    return out;
}

} // namespace

DashGauges::DashGauges() : m_panel(SkinBitmaps::Load(kBmpPanel)) {
    m_compass = MagentaToAlpha(
        RotateCompassNeedle(SkinBitmaps::Load(kBmpCompassNeedle), ReduceHeading(m_heading)));
}

void DashGauges::SetSpeed(int speedKmh) {
    m_speed = ClampGaugeSpeed(speedKmh);
}

void DashGauges::SetHeading(double headingDegrees) {
    m_heading = StoredHeading(headingDegrees);
    m_compass = MagentaToAlpha(
        RotateCompassNeedle(SkinBitmaps::Load(kBmpCompassNeedle), ReduceHeading(headingDegrees)));
}

void DashGauges::Paint(QPainter& p, int needleCentreY) const {
    p.setRenderHint(QPainter::Antialiasing, false);
    if (m_panel.isNull())
        p.fillRect(QRect(QPoint(0, 0), kPanelRect.size()), Qt::black);
    else
        p.drawImage(0, 0, m_panel);
    p.drawImage(kCompassOriginInPanel, m_compass);
    p.setPen(QPen(QColor(255, 0, 0), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPoint(kSpeedNeedleCentre.x(), needleCentreY),
               SpeedNeedleEnd(m_speed, needleCentreY));
}

} // namespace quello
