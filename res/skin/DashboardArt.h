// The printed scales of the dashboard panel (bitmap 151): the speedometer dial and the compass
// rose. Their geometry must match the gauges drawn over them at run time (CDashPanel):
// the speed needle turns about (767, 89) of the panel, 0 km/h at 130 degrees clockwise from
// the +x axis, one degree per km/h; the compass needle turns inside the 100 x 100 square at
// (881, 40), about its centre (931, 90). Internal to skin_res. GUI thread only.
#pragma once

#include <QColor>
#include <QPoint>

class QPainter;

namespace quello {

// Flat face colour under the compass needle's sweep; the needle art is matted against it.
inline constexpr QColor kCompassFace{0x14, 0x18, 0x1d};

void PaintSpeedDial(QPainter& p, QPoint centre);
void PaintCompassRose(QPainter& p, QPoint centre);

} // namespace quello
