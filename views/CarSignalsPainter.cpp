#include "CarSignalsPainter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

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

QString Signed(long value) {
    // A true minus sign: the hyphen reads too short beside the digits.
    return value < 0 ? QStringLiteral("\u2212%1").arg(-value) : QString::number(value);
}

std::vector<Piece> Pieces(const CarSecond& s) {
    std::vector<Piece> pieces;
    pieces.push_back({QStringLiteral("\u25C0"), Look::Blinker, s.leftBlinker, -1});
    pieces.push_back({QStringLiteral("\u25B6"), Look::Blinker, s.rightBlinker, +1});
    static const char* const kGears[] = {"P", "D", "R", "N"};
    if (s.gear >= 0 && s.gear < 4)
        pieces.push_back({QString::fromLatin1(kGears[s.gear])});
    pieces.push_back({QStringLiteral("BRAKE"), Look::Brake, s.brake});
    if (std::isfinite(s.steeringAngle))
        pieces.push_back(
            {QStringLiteral("steer %1\u00B0").arg(Signed(std::lround(s.steeringAngle)))});
    if (std::isfinite(s.acceleratorPedal))
        pieces.push_back(
            {QStringLiteral("pedal %1 %").arg(Signed(std::lround(s.acceleratorPedal)))});
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
    const QFontMetricsF metrics(p.font());
    const qreal gap = metrics.horizontalAdvance(QLatin1Char('M'));
    const qreal baseline = box.center().y() + (metrics.ascent() - metrics.descent()) / 2;
    // Drawn rather than taken from the font: every face has a triangle this way. A little
    // taller than the capitals, centred on them.
    const qreal side = metrics.capHeight() * 1.25;
    const qreal middle = baseline - metrics.capHeight() / 2;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    qreal x = box.left();
    for (const Piece& piece : Pieces(second)) {
        const QColor colour = ColourOf(piece, text);
        if (piece.arrow != 0) {
            const qreal tip = piece.arrow < 0 ? x : x + side;
            const qreal back = piece.arrow < 0 ? x + side : x;
            QPainterPath arrow;
            arrow.moveTo(tip, middle);
            arrow.lineTo(back, middle - side / 2);
            arrow.lineTo(back, middle + side / 2);
            arrow.closeSubpath();
            p.fillPath(arrow, colour);
            x += side + gap / 2;
            continue;
        }
        x += gap / 2;
        p.setPen(colour);
        p.drawText(QPointF(x, baseline), piece.text);
        x += metrics.horizontalAdvance(piece.text) + gap / 2;
    }
    p.restore();
}

} // namespace quello
