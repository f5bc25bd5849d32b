#include "CDashPanel.h"

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

CDashPanel::CDashPanel(QWidget* parent) : QWidget(parent), m_panel(SkinBitmaps::Load(kBmpPanel)) {
    setObjectName(QStringLiteral("ctl%1").arg(kIdPanel));
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (!m_panel.isNull())
        setFixedSize(m_panel.size());
    m_compass = MagentaToAlpha(
        RotateCompassNeedle(SkinBitmaps::Load(kBmpCompassNeedle), ReduceHeading(m_lastHeading)));
}

CDashPanel::~CDashPanel() = default;

QSize CDashPanel::sizeHint() const {
    return m_panel.isNull() ? kPanelRect.size() : m_panel.size();
}

int CDashPanel::needleCentreY() const {
    return kSpeedNeedleCentre.y() - y();
}

QRect CDashPanel::needleBox() const {
    const int c = needleCentreY();
    // The needle is 50 pixels long; the box also covers its round caps.
    const int x = kSpeedNeedleCentre.x();
    return QRect(QPoint(x - 55, c - 55), QPoint(x + 54, c + 54));
}

void CDashPanel::DrawSpeedNeedle(int speedKmh) {
    m_lastSpeed = ClampGaugeSpeed(speedKmh);
    update(needleBox());
}

void CDashPanel::DrawHeadingDial(double headingDegrees) {
    m_lastHeading = StoredHeading(headingDegrees);
    m_compass = MagentaToAlpha(
        RotateCompassNeedle(SkinBitmaps::Load(kBmpCompassNeedle), ReduceHeading(headingDegrees)));
    update(kCompassBoxInPanel);
}

void CDashPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, false);
    if (m_panel.isNull())
        p.fillRect(rect(), Qt::black);
    else
        p.drawImage(0, 0, m_panel);
    p.drawImage(kCompassOriginInPanel, m_compass);

    const int c = needleCentreY();
    p.setPen(QPen(QColor(255, 0, 0), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPoint(kSpeedNeedleCentre.x(), c), SpeedNeedleEnd(m_lastSpeed, c));
}

} // namespace quello
