// Pixel rules of the dashboard gauges, free of any widget. Pure functions; any thread.
#pragma once

#include <QImage>
#include <QPoint>

namespace quello {

// A speed outside 0..260 km/h shows (and is stored as) 0.
int ClampGaugeSpeed(int speedKmh);

// End point of the speed needle for a clamped speed: 50 pixels from (767, centreY), 0 km/h at
// 130 degrees clockwise from +x, one degree per km/h, with the angle held in single precision
// and both offsets truncated toward zero.
QPoint SpeedNeedleEnd(int clampedSpeedKmh, int centreY);

// A heading reduced for display: truncated toward zero to whole degrees, then reduced to one
// turn keeping the dividend's sign (-90 stays -90, 450 becomes 90). Values too large for an
// int are reduced in floating point first; NaN and infinities count as 0.
int ReduceHeading(double headingDegrees);
// The heading stored by the gauge: the whole degrees of the input (NaN as 0, clamped to int).
int StoredHeading(double headingDegrees);

// The compass needle image turned clockwise by `reducedHeading` degrees about the centre of an
// S x S canvas (S = the larger side), by inverse mapping one pixel at a time; the mapping also
// mirrors columns, so the upright needle stays upright at 0. Canvas pixels that no source
// pixel reaches are magenta RGB(255, 0, 255). Format_RGB32.
QImage RotateCompassNeedle(const QImage& needle, int reducedHeading);

} // namespace quello
