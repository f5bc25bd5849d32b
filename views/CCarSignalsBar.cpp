#include "CCarSignalsBar.h"

#include "CarSignalsPainter.h"

#include <QPainter>

namespace quello {

namespace {

bool Same(const CarSecond& a, const CarSecond& b) {
    return a.gear == b.gear && a.acceleratorPedal == b.acceleratorPedal &&
           a.steeringAngle == b.steeringAngle && a.leftBlinker == b.leftBlinker &&
           a.rightBlinker == b.rightBlinker && a.brake == b.brake && a.assist == b.assist;
}

} // namespace

CCarSignalsBar::CCarSignalsBar(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
}

CCarSignalsBar::~CCarSignalsBar() = default;

void CCarSignalsBar::SetSecond(const CarSecond* second) {
    if (second == nullptr) {
        m_second.reset();
        hide();
        return;
    }
    if (m_second && Same(*m_second, *second) && !isHidden())
        return;
    m_second = *second;
    show();
    update();
}

QString CCarSignalsBar::text() const {
    return m_second ? CarSignalsPainter::Text(*m_second) : QString();
}

void CCarSignalsBar::paintEvent(QPaintEvent*) {
    if (!m_second)
        return;
    QPainter p(this);
    p.setFont(font());
    CarSignalsPainter::Paint(p, rect(), *m_second, palette().color(QPalette::WindowText));
}

} // namespace quello
