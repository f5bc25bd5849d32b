// The dashboard panel at the bottom of the main window: bitmap 151 with the speed needle and
// the compass needle over it. Every paint draws both instruments from lastSpeed() and
// lastHeading(), so they survive any repaint in any playback state. Place it at its place in
// the main window (0, 521): the needle's centre is at y 610 of the window, so its y on the
// panel follows from the panel's own top (y()).
// Ownership: a child widget of the main window. Threading: GUI thread only.
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

    int lastSpeed() const { return lastSpeed_; }
    int lastHeading() const { return lastHeading_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int NeedleCentreY() const;
    QRect NeedleBox() const;

    int lastSpeed_ = 0;
    int lastHeading_ = 180;
    QImage panel_;
    // The turned needle with its magenta turned transparent, ready to draw at (881, 40).
    QImage compass_;
};

} // namespace quello
