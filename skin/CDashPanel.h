// The dashboard panel: bitmap 151 with the speed needle and the compass needle over it. Every
// paint draws both instruments from lastSpeed() and lastHeading(), so they survive any
// repaint. The needle's centre is fixed in its parent's coordinates (kSpeedNeedleCentre of the
// window layout), so its y on the panel follows from the panel's own top (y()); place the
// panel at kPanelRect.
// Ownership: a child widget, owned by its parent. Threading: GUI thread only.
#pragma once

#include <QImage>
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

    int lastSpeed() const { return m_lastSpeed; }
    int lastHeading() const { return m_lastHeading; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int needleCentreY() const;
    QRect needleBox() const;

    int m_lastSpeed = 0;
    int m_lastHeading = 180;
    QImage m_panel;
    // The turned needle with its magenta turned transparent, ready to draw at (881, 40).
    QImage m_compass;
};

} // namespace quello
