#include "GaugeGeometry.h"

#include "res/skin/WindowLayout.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace quello {
namespace {

// The gauges' own approximations of pi/180; the needle end points depend on them (140 km/h
// ends one pixel short of straight up).
constexpr double kSpeedRadiansPerDegree = 0.01745277777777778;    // 3.1415 / 180
constexpr double kHeadingRadiansPerDegree = 0.017453292222222222; // 3.1415926 / 180
constexpr int kSpeedCentreX = kSpeedNeedleCentre.x();
constexpr int kNeedleLength = 50;
constexpr QRgb kKey = 0xFFFF00FF;

} // namespace

int ClampGaugeSpeed(int speedKmh) {
    return (speedKmh < 0 || speedKmh > 260) ? 0 : speedKmh;
}

QPoint SpeedNeedleEnd(int clampedSpeedKmh, int centreY) {
    const int degrees = (clampedSpeedKmh + 130) % 360;
    const float theta = float(degrees * kSpeedRadiansPerDegree);
    const int dx = int(std::cos(double(theta)) * kNeedleLength);
    const int dy = int(std::sin(double(theta)) * kNeedleLength);
    return {kSpeedCentreX + dx, centreY + dy};
}

int StoredHeading(double headingDegrees) {
    if (std::isnan(headingDegrees))
        return 0;
    return int(std::clamp(std::trunc(headingDegrees), double(INT_MIN), double(INT_MAX)));
}

int ReduceHeading(double headingDegrees) {
    if (!std::isfinite(headingDegrees))
        return 0;
    return int(std::fmod(std::trunc(headingDegrees), 360.0));
}

QImage RotateCompassNeedle(const QImage& needle, int reducedHeading) {
    const QImage src = needle.convertToFormat(QImage::Format_RGB32);
    const int w = src.width();
    const int h = src.height();
    const int s = std::max(w, h);
    QImage canvas(s, s, QImage::Format_RGB32);
    canvas.fill(kKey);
    if (s == 0)
        return canvas;
    const double theta = reducedHeading * kHeadingRadiansPerDegree;
    const double sinT = std::sin(theta);
    const double cosT = std::cos(theta);
    const int offX = (s - w) / 2;
    const int offY = (s - h) / 2;
    const int cx = s / 2;
    const int cy = s / 2;
    for (int j = 0; j < s; ++j) {
        QRgb* out = reinterpret_cast<QRgb*>(canvas.scanLine(j));
        const int dy = j - cy;
        for (int i = 0; i < s; ++i) {
            const int dx = i - cx;
            const int srcX = offX + w - int(dy * sinT + cx + dx * cosT);
            const int srcY = offY + int(dy * cosT + cy - dx * sinT);
            if (srcX >= 0 && srcX < w && srcY >= 0 && srcY < h)
                out[i] = reinterpret_cast<const QRgb*>(src.constScanLine(srcY))[srcX];
        }
    }
    return canvas;
}

} // namespace quello
