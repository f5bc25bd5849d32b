// The dashboard panel: bitmap 151 with the speed needle and the compass needle over it. Every
// paint draws both instruments from lastSpeed() and lastHeading(), so they survive any
// repaint. The needle's centre is fixed in its parent's coordinates (kSpeedNeedleCentre of the
// window layout), so its y on the panel follows from the panel's own top (y()); place the
// panel at kPanelRect.
// The drawing itself is DashGauges'.
// Ownership: a child widget, owned by its parent. Threading: GUI thread only.
#pragma once

#include "DashGauges.h"

#include <QWidget>

namespace quello {

class CDashPanel : public QWidget {
    Q_OBJECT
public:
    explicit CDashPanel(QWidget* parent = nullptr);
    ~CDashPanel() override;

    // Shows `speedKmh` on the speedometer; outside 0..260 shows and stores 0.
    void DrawSpeedNeedle(int speedKmh);
    // Turns the compass needle to `headingDegrees` (any size; reduced to one turn) and stores
    // its whole degrees.
    void DrawHeadingDial(double headingDegrees);

    int lastSpeed() const { return m_gauges.speed(); }
    int lastHeading() const { return m_gauges.heading(); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int needleCentreY() const;
    QRect needleBox() const;

    DashGauges m_gauges;
};

} // namespace quello
