#include "DashboardArt.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

namespace quello {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Point at `radius` from `c` in the direction `degrees`, measured clockwise from +x
// (y grows downwards), the convention both gauges use.
QPointF Polar(QPointF c, double radius, double degrees) {
    const double t = degrees * kPi / 180.0;
    return {c.x() + radius * std::cos(t), c.y() + radius * std::sin(t)};
}

void PaintBezel(QPainter& p, QPointF c, double outer, double inner) {
    QRadialGradient ring(c, outer);
    ring.setColorAt(0.0, QColor(0x3a, 0x41, 0x4b));
    ring.setColorAt(1.0, QColor(0x0b, 0x0c, 0x0e));
    p.setPen(QPen(QColor(0x05, 0x06, 0x07), 1.0));
    p.setBrush(ring);
    p.drawEllipse(c, outer, outer);
    // A lit upper rim and a shadowed lower rim give the bezel some depth.
    QLinearGradient rim(c.x(), c.y() - outer, c.x(), c.y() + outer);
    rim.setColorAt(0.0, QColor(0x5a, 0x63, 0x70));
    rim.setColorAt(1.0, QColor(0x10, 0x12, 0x15));
    p.setPen(QPen(QBrush(rim), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, outer - 1.5, outer - 1.5);
    p.setPen(QPen(QColor(0x05, 0x06, 0x07), 1.0));
    p.drawEllipse(c, inner + 0.5, inner + 0.5);
}

void DrawCentredText(QPainter& p, QPointF at, const QString& text) {
    const QRectF box(at.x() - 20, at.y() - 10, 40, 20);
    p.drawText(box, Qt::AlignCenter, text);
}

} // namespace

void PaintSpeedDial(QPainter& p, QPoint centre) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QPointF c(centre.x() + 0.5, centre.y() + 0.5);
    PaintBezel(p, c, 64.0, 59.0);

    QRadialGradient face(c, 59.0);
    face.setColorAt(0.0, QColor(0x1e, 0x23, 0x2a));
    face.setColorAt(1.0, QColor(0x0a, 0x0c, 0x0f));
    p.setPen(Qt::NoPen);
    p.setBrush(face);
    p.drawEllipse(c, 59.0, 59.0);

    // Red zone from 200 to 260 km/h along the outer edge of the scale.
    QPainterPath zone;
    zone.moveTo(Polar(c, 55.0, 200 + 130));
    for (int v = 201; v <= 260; ++v)
        zone.lineTo(Polar(c, 55.0, v + 130));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0xd8, 0x41, 0x3a), 3.0, Qt::SolidLine, Qt::FlatCap));
    p.drawPath(zone);

    // Scale: 0 km/h at 130 degrees, one degree per km/h, up to 260 km/h at 390 (= 30) degrees.
    for (int v = 0; v <= 260; v += 10) {
        const bool major = v % 20 == 0;
        const double a = v + 130;
        p.setPen(major ? QPen(QColor(0xe6, 0xeb, 0xf2), 2.0, Qt::SolidLine, Qt::FlatCap)
                       : QPen(QColor(0x8e, 0x99, 0xa8), 1.0, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(Polar(c, major ? 45.0 : 50.0, a), Polar(c, 56.5, a));
    }
    QFont labels(QStringLiteral("DejaVu Sans"));
    labels.setPixelSize(9);
    labels.setBold(true);
    p.setFont(labels);
    p.setPen(QColor(0xe6, 0xeb, 0xf2));
    for (int v = 0; v <= 240; v += 40)
        DrawCentredText(p, Polar(c, 35.0, v + 130), QString::number(v));

    QFont unit(QStringLiteral("DejaVu Sans"));
    unit.setPixelSize(8);
    p.setFont(unit);
    p.setPen(QColor(0x8e, 0x99, 0xa8));
    DrawCentredText(p, QPointF(c.x(), c.y() + 25), QStringLiteral("km/h"));

    p.setPen(QPen(QColor(0x05, 0x06, 0x07), 1.0));
    p.setBrush(QColor(0x3a, 0x41, 0x4b));
    p.drawEllipse(c, 5.0, 5.0);
    p.restore();
}

void PaintCompassRose(QPainter& p, QPoint centre) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QPointF c(centre.x() + 0.5, centre.y() + 0.5);
    PaintBezel(p, c, 58.0, 54.0);
    p.setPen(Qt::NoPen);
    p.setBrush(kCompassFace);
    p.drawEllipse(c, 54.0, 54.0);

    for (int d = 0; d < 360; d += 10) {
        if (d % 90 == 0)
            continue; // the cardinal letters stand there
        const bool major = d % 30 == 0;
        // Heading 0 points up: screen angle = heading - 90.
        const double a = d - 90.0;
        p.setPen(major ? QPen(QColor(0xaa, 0xb4, 0xc1), 1.6, Qt::SolidLine, Qt::FlatCap)
                       : QPen(QColor(0x5d, 0x66, 0x72), 1.0, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(Polar(c, major ? 44.0 : 48.0, a), Polar(c, 52.5, a));
    }
    // Small triangles at the cardinal points, pointing at the centre.
    p.setPen(Qt::NoPen);
    for (int d = 0; d < 360; d += 90) {
        const double a = d - 90.0;
        p.setBrush(d == 0 ? QColor(0xff, 0x5a, 0x4a) : QColor(0xaa, 0xb4, 0xc1));
        const QPointF tri[] = {Polar(c, 47.0, a), Polar(c, 53.0, a - 4.5), Polar(c, 53.0, a + 4.5)};
        p.drawPolygon(tri, 3);
    }
    QFont letters(QStringLiteral("DejaVu Sans"));
    letters.setPixelSize(11);
    letters.setBold(true);
    p.setFont(letters);
    const struct {
        int heading;
        const char* text;
        QColor colour;
    } points[] = {{0, "N", QColor(0xff, 0x5a, 0x4a)},
                  {90, "E", QColor(0xd8, 0xde, 0xe9)},
                  {180, "S", QColor(0xd8, 0xde, 0xe9)},
                  {270, "W", QColor(0xd8, 0xde, 0xe9)}};
    for (const auto& pt : points) {
        p.setPen(pt.colour);
        DrawCentredText(p, Polar(c, 39.0, pt.heading - 90.0), QString::fromLatin1(pt.text));
    }
    p.restore();
}

} // namespace quello
