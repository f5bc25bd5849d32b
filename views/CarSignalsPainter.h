#pragma once

#include "cameras/CarSignals.h"

#include <QColor>
#include <QRectF>
#include <QString>

class QPainter;

namespace quello {

// The car's own signals of one second as one line, drawn alike in the window's panel
// (CCarSignalsBar) and in an exported clip's overlay: the blinker arrows, the gear, BRAKE,
// the steering wheel's angle, the accelerator pedal and the driver assistance. The arrows and
// BRAKE keep their places and are dim while off, so that nothing shifts as they come and go.
// Plain functions: any thread may paint with them on its own device (QPainter on images).
class CarSignalsPainter {
public:
    // The line in words with the lit indicators only, e.g.
    // "◀  D  BRAKE  steer −4°  pedal 23 %  autosteer".
    static QString Text(const CarSecond& second);
    // Paints the line from the left edge of `box`, centred on its height, in the painter's
    // font; `text` colours the plain words, the dim indicators are a faint `text`.
    static void Paint(QPainter& p, const QRectF& box, const CarSecond& second, QColor text);
};

} // namespace quello
