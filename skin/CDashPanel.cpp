#include "CDashPanel.h"

#include "res/skin/WindowLayout.h"

#include <QPainter>

namespace quello {

CDashPanel::CDashPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ctl%1").arg(kIdPanel));
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (!m_gauges.panel().isNull())
        setFixedSize(m_gauges.panel().size());
}

CDashPanel::~CDashPanel() = default;

QSize CDashPanel::sizeHint() const {
    return m_gauges.panel().isNull() ? kPanelRect.size() : m_gauges.panel().size();
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
    m_gauges.SetSpeed(speedKmh);
    update(needleBox());
}

void CDashPanel::DrawHeadingDial(double headingDegrees) {
    m_gauges.SetHeading(headingDegrees);
    update(kCompassBoxInPanel);
}

void CDashPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    m_gauges.Paint(p, needleCentreY());
}

} // namespace quello
