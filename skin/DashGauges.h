// The dashboard's two instruments, free of any widget: the panel bitmap 151 with the speed
// needle and the compass needle over it. CDashPanel shows them in the window; the overlay of an
// exported clip paints them into frames.
// A plain object that owns its images. Not synchronized: use one instance from one thread (any
// thread once a QGuiApplication exists: it paints images only).
#pragma once

#include <QImage>

class QPainter;

namespace quello {

class DashGauges {
public:
    DashGauges();

    // Shows `speedKmh` on the speedometer; outside 0..260 shows and stores 0.
    void SetSpeed(int speedKmh);
    // Turns the compass needle to `headingDegrees` (any size; reduced to one turn) and stores
    // its whole degrees.
    void SetHeading(double headingDegrees);

    int speed() const { return m_speed; }
    int heading() const { return m_heading; }
    // The panel bitmap; null when the artwork could not be rendered.
    const QImage& panel() const { return m_panel; }

    // Paints the panel at the painter's origin, the compass over it and the speed needle about
    // (kSpeedNeedleCentre.x(), needleCentreY) in panel pixels.
    void Paint(QPainter& p, int needleCentreY) const;

private:
    int m_speed = 0;
    int m_heading = 180;
    QImage m_panel;
    // The turned needle with its magenta turned transparent, ready to draw at (881, 40).
    QImage m_compass;
};

} // namespace quello
