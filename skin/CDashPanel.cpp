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

CDashPanel::CDashPanel(QWidget* parent) : QWidget(parent), panel_(SkinBitmaps::Load(kBmpPanel)) {
    setObjectName(QStringLiteral("ctl%1").arg(kIdPanel));
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (!panel_.isNull())
        setFixedSize(panel_.size());
    compass_ = MagentaToAlpha(
        RotateCompassNeedle(SkinBitmaps::Load(kBmpCompassNeedle), ReduceHeading(lastHeading_)));
}

CDashPanel::~CDashPanel() = default;

QSize CDashPanel::sizeHint() const {
    return panel_.isNull() ? kPanelRect.size() : panel_.size();
}

int CDashPanel::NeedleCentreY() const {
    return kSpeedNeedleCentre.y() - y();
}

QRect CDashPanel::NeedleBox() const {
    const int c = NeedleCentreY();
    // The needle is 50 pixels long; the box also covers its round caps.
    const int x = kSpeedNeedleCentre.x();
    return QRect(QPoint(x - 55, c - 55), QPoint(x + 54, c + 54));
}

void CDashPanel::DrawSpeedNeedle(int speedKmh) {
    lastSpeed_ = ClampGaugeSpeed(speedKmh);
    update(NeedleBox());
}

void CDashPanel::DrawHeadingDial(double headingDegrees) {
    lastHeading_ = StoredHeading(headingDegrees);
    compass_ = MagentaToAlpha(
        RotateCompassNeedle(SkinBitmaps::Load(kBmpCompassNeedle), ReduceHeading(headingDegrees)));
    update(kCompassBoxInPanel);
}

void CDashPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, false);
    if (panel_.isNull())
        p.fillRect(rect(), Qt::black);
    else
        p.drawImage(0, 0, panel_);
    p.drawImage(kCompassOriginInPanel, compass_);

    const int c = NeedleCentreY();
    p.setPen(QPen(QColor(255, 0, 0), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPoint(kSpeedNeedleCentre.x(), c), SpeedNeedleEnd(lastSpeed_, c));
}

} // namespace quello
