#include "CarSignalsPainter.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <vector>

namespace quello {

namespace {

// Green arrows and a red BRAKE as a car's own display shows them; the assistance in its blue.
const QColor kBlinkerLit(60, 220, 90);
const QColor kBrakeLit(255, 60, 45);
const QColor kAssistOn(90, 170, 255);

enum class Look { Plain, Blinker, Brake, Assist };

struct Piece {
    QString text; // for an arrow, the character Text() uses
    Look look = Look::Plain;
    bool lit = true;
    int arrow = 0; // -1 the left blinker's arrow, +1 the right one's, 0 words
};

// A whole number with a true minus sign: the hyphen reads too short beside the digits.
QString Whole(float value) {
    // Clamped first: a broken message may hold any float.
    const long whole = std::lround(std::clamp(value, -1e6f, 1e6f));
    return whole < 0 ? QStringLiteral("\u2212%1").arg(-whole) : QString::number(whole);
}

const char* GearLetter(int gear) {
    switch (gear) {
    case SeiMessage::kPark:
        return "P";
    case SeiMessage::kDrive:
        return "D";
    case SeiMessage::kReverse:
        return "R";
    case SeiMessage::kNeutral:
        return "N";
    default:
        return nullptr;
    }
}

std::vector<Piece> Pieces(const CarSecond& s) {
    std::vector<Piece> pieces;
    pieces.push_back({QStringLiteral("\u25C0"), Look::Blinker, s.leftBlinker, -1});
    pieces.push_back({QStringLiteral("\u25B6"), Look::Blinker, s.rightBlinker, +1});
    if (const char* gear = GearLetter(s.gear))
        pieces.push_back({QString::fromLatin1(gear)});
    pieces.push_back({QStringLiteral("BRAKE"), Look::Brake, s.brake});
    if (std::isfinite(s.steeringAngle))
        pieces.push_back({QStringLiteral("steer %1\u00B0").arg(Whole(s.steeringAngle))});
    if (std::isfinite(s.acceleratorPedal))
        pieces.push_back({QStringLiteral("pedal %1 %").arg(Whole(s.acceleratorPedal))});
    switch (s.assist) {
    case SeiMessage::kSelfDriving:
        pieces.push_back({QStringLiteral("self-driving"), Look::Assist});
        break;
    case SeiMessage::kAutosteer:
        pieces.push_back({QStringLiteral("autosteer"), Look::Assist});
        break;
    case SeiMessage::kAdaptiveCruise:
        pieces.push_back({QStringLiteral("adaptive cruise"), Look::Assist});
        break;
    default:
        break;
    }
    return pieces;
}

QColor ColourOf(const Piece& piece, QColor text) {
    if (!piece.lit) {
        text.setAlphaF(text.alphaF() * 0.3f);
        return text;
    }
    switch (piece.look) {
    case Look::Blinker:
        return kBlinkerLit;
    case Look::Brake:
        return kBrakeLit;
    case Look::Assist:
        return kAssistOn;
    case Look::Plain:
        break;
    }
    return text;
}

// Where each piece starts, from the line's left edge, and how wide the line is.
struct Layout {
    std::vector<qreal> x;
    qreal width = 0;
    qreal arrow = 0; // an arrow's width and height
};

Layout Lay(const std::vector<Piece>& pieces, const QFontMetricsF& metrics) {
    Layout layout;
    // Drawn rather than taken from the font, the arrows: every face has a triangle this way.
    // A little taller than the capitals, centred on them.
    layout.arrow = metrics.capHeight() * 1.25;
    const qreal gap = metrics.horizontalAdvance(QLatin1Char('n'));
    qreal x = 0;
    for (const Piece& piece : pieces) {
        if (x > 0)
            x += piece.arrow != 0 ? gap / 2 : gap;
        layout.x.push_back(x);
        x += piece.arrow != 0 ? layout.arrow : metrics.horizontalAdvance(piece.text);
    }
    layout.width = x;
    return layout;
}

} // namespace

QString CarSignalsPainter::Text(const CarSecond& second) {
    QStringList words;
    for (const Piece& piece : Pieces(second))
        if (piece.lit)
            words << piece.text;
    return words.join(QStringLiteral("  "));
}

void CarSignalsPainter::Paint(QPainter& p, const QRectF& box, const CarSecond& second,
                              QColor text) {
    const std::vector<Piece> pieces = Pieces(second);
    p.save();
    QFont font = p.font();
    Layout layout = Lay(pieces, QFontMetricsF(font, p.device()));
    // A wider face than the one the place was planned with is made smaller rather than cut.
    for (int pixels = QFontInfo(font).pixelSize(); layout.width > box.width() && pixels > 6;) {
        font.setPixelSize(--pixels);
        layout = Lay(pieces, QFontMetricsF(font, p.device()));
    }
    p.setFont(font);
    const QFontMetricsF metrics(font, p.device());
    const qreal baseline = box.center().y() + (metrics.ascent() - metrics.descent()) / 2;
    const qreal middle = baseline - metrics.capHeight() / 2;
    p.setRenderHint(QPainter::Antialiasing);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const Piece& piece = pieces[i];
        const qreal x = box.left() + layout.x[i];
        const QColor colour = ColourOf(piece, text);
        if (piece.arrow != 0) {
            const qreal side = layout.arrow;
            const qreal tip = piece.arrow < 0 ? x : x + side;
            const qreal back = piece.arrow < 0 ? x + side : x;
            QPainterPath arrow;
            arrow.moveTo(tip, middle);
            arrow.lineTo(back, middle - side / 2);
            arrow.lineTo(back, middle + side / 2);
            arrow.closeSubpath();
            p.fillPath(arrow, colour);
        } else {
            p.setPen(colour);
            p.drawText(QPointF(x, baseline), piece.text);
        }
    }
    p.restore();
}

} // namespace quello
