#include "ButtonArt.h"

#include "ArtPainting.h"

#include <QLinearGradient>
#include <QPainter>

namespace quello {
namespace {

constexpr QColor kAccent{0x6e, 0x96, 0xff};

struct FrameLook {
    QColor plateTop, plateBottom, border, icon;
    int iconShift;
};

FrameLook LookFor(int frame) {
    switch (frame) {
    case 1: // pointer over it: brighter plate, accent rim, white symbol
        return {QColor(0x3b, 0x43, 0x4f), QColor(0x24, 0x29, 0x31), kAccent, QColor(Qt::white), 0};
    case 2: // pressed: sunk plate, accent symbol pushed down a pixel
        return {QColor(0x0e, 0x10, 0x13), QColor(0x1f, 0x24, 0x2b), kAccent,
                QColor(0x9d, 0xba, 0xff), 1};
    case 3: // released or disabled: quiet plate, dimmed symbol
        return {QColor(0x25, 0x29, 0x30), QColor(0x19, 0x1c, 0x21), QColor(0x2c, 0x32, 0x3b),
                QColor(0x6a, 0x74, 0x81), 0};
    default:
        return {QColor(0x2f, 0x35, 0x3e), QColor(0x1c, 0x20, 0x26), QColor(0x44, 0x4c, 0x58),
                QColor(0xd4, 0xdb, 0xe5), 0};
    }
}

void PaintPlate(QPainter& p, const ButtonArtSpec& spec, QRectF r, int frame, const FrameLook& l) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0.0, l.plateTop);
    g.setColorAt(1.0, l.plateBottom);
    switch (spec.style) {
    case PlateStyle::TitleBar:
    case PlateStyle::TitleBarDanger: {
        if (frame == 0 || frame == 3)
            return; // the band itself is the plate
        const bool danger = spec.style == PlateStyle::TitleBarDanger;
        QColor fill = danger ? QColor(0xc4, 0x31, 0x2b) : QColor(0x3a, 0x41, 0x4b);
        if (frame == 2)
            fill = danger ? QColor(0x8e, 0x23, 0x1e) : QColor(0x22, 0x27, 0x2e);
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
        return;
    }
    case PlateStyle::Round: {
        const QRectF disc = r.adjusted(1, 1, -1, -1);
        p.setPen(QPen(QColor(0x05, 0x06, 0x07), 1.0));
        p.setBrush(g);
        p.drawEllipse(disc);
        const QColor ring = frame == 3 ? l.border : kAccent;
        p.setPen(QPen(ring, frame == 1 ? 2.2 : 1.6));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(disc.adjusted(2, 2, -2, -2));
        return;
    }
    case PlateStyle::Rounded:
    case PlateStyle::Tile: {
        const double radius = spec.style == PlateStyle::Tile ? 6.0 : 4.0;
        const QRectF plate = r.adjusted(0.5, 0.5, -0.5, -0.5);
        p.setPen(QPen(QColor(0x05, 0x06, 0x07), 1.0));
        p.setBrush(g);
        p.drawRoundedRect(plate, radius, radius);
        p.setPen(QPen(l.border, 1.0));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(plate.adjusted(1, 1, -1, -1), radius - 1, radius - 1);
        if (frame != 2) { // a faint highlight along the top edge, except when sunk
            p.setPen(QPen(QColor(255, 255, 255, 28), 1.0));
            p.drawLine(QPointF(plate.left() + radius, plate.top() + 2),
                       QPointF(plate.right() - radius, plate.top() + 2));
        }
        return;
    }
    }
}

} // namespace

QImage RenderButtonStrip(const ButtonArtSpec& spec, const QImage& underneath) {
    const QSize size = spec.place.size();
    QImage strip(size.width() * 4, size.height(), QImage::Format_RGB32);
    QPainter p(&strip);
    p.setRenderHint(QPainter::Antialiasing);
    for (int frame = 0; frame < 4; ++frame) {
        const QRect cell(frame * size.width(), 0, size.width(), size.height());
        p.drawImage(cell.topLeft(), underneath);
        const FrameLook look = LookFor(frame);
        PaintPlate(p, spec, QRectF(cell), frame, look);
        const QImage icon = TintedIcon(QString::fromLatin1(spec.icon),
                                       QSize(spec.iconPixels, spec.iconPixels), look.icon);
        const QPoint at(cell.left() + (size.width() - spec.iconPixels) / 2,
                        (size.height() - spec.iconPixels) / 2 + look.iconShift);
        p.drawImage(at, icon);
    }
    return strip;
}

} // namespace quello
