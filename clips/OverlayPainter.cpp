#include "OverlayPainter.h"

#include "recordings/TelemetryRoute.h"
#include "res/skin/WindowLayout.h"
#include "skin/DashGauges.h"
#include "views/CarSignalsPainter.h"
#include "views/WaveformPainter.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace quello {

namespace {

// The layout, in pixels of a 1080-line picture.
constexpr double kRefHeight = 1080;
constexpr int kMargin = 16;
constexpr int kBandHeight = 200;
constexpr int kCarRowHeight = 50; // over the band's instruments, as over the window's gauges
constexpr int kDial = 160;        // the speedometer and the compass, each a square
constexpr int kDigitsWidth = 300;
constexpr int kTextWidth = 540; // the clock and the position
constexpr int kMinStripWidth = 160;
constexpr int kStripHeight = 130;
constexpr int kMapSide = 260;
constexpr int kClockWidth = 420;
constexpr int kClockHeight = 64;

// The instruments' squares in the panel bitmap, about the dial centres of the window's layout.
constexpr QRect kSpeedDialInPanel{kSpeedDialCentreInPanel.x() - 70,
                                  kSpeedDialCentreInPanel.y() - 70, 140, 140};
constexpr QRect kCompassInPanel{kCompassCentreInPanel.x() - 70, kCompassCentreInPanel.y() - 70, 140,
                                140};

const QColor kShade(0, 0, 0, 140);
const QColor kText(255, 255, 255);
const QColor kDim(200, 200, 200);
const QColor kRouteColour(247, 148, 28);
const QColor kDotColour(255, 40, 40);

int Aligned(double v, int step) {
    return int(std::lround(v / step)) * step;
}

// A rectangle of reference pixels as frame pixels, kept inside the frame: rows even for the
// chroma planes, columns on 16 pixels so that the converters' vector code stays in line.
QRect FrameRect(double x, double y, double w, double h, double scale, QSize frame) {
    const int left = std::clamp(Aligned(x * scale, 16), 0, frame.width() - 2);
    const int top = std::clamp(Aligned(y * scale, 2), 0, frame.height() - 2);
    const int right = std::clamp(Aligned((x + w) * scale, 16), left + 2, frame.width() & ~1);
    const int bottom = std::clamp(Aligned((y + h) * scale, 2), top + 2, frame.height() & ~1);
    return QRect(left, top, right - left, bottom - top);
}

QFont Font(int pixels, bool bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QString ClockText(const std::tm& created, double seconds) {
    std::tm at = created;
    at.tm_sec += int(std::floor(seconds));
    const std::time_t t = ::timegm(&at);
    std::tm shown{};
    ::gmtime_r(&t, &shown);
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", shown.tm_year + 1900,
                             shown.tm_mon + 1, shown.tm_mday, shown.tm_hour, shown.tm_min,
                             shown.tm_sec);
}

QString PositionText(const QPointF& lonLat) {
    return QString::asprintf("%c %.5f°   %c %.5f°", lonLat.y() < 0 ? 'S' : 'N',
                             std::fabs(lonLat.y()), lonLat.x() < 0 ? 'W' : 'E',
                             std::fabs(lonLat.x()));
}

} // namespace

OverlayPainter::OverlayPainter(QSize frameSize)
    : m_frameSize(frameSize), m_scale(frameSize.height() / kRefHeight),
      m_telemetry(std::make_unique<TelemetrySet>()), m_gauges(std::make_unique<DashGauges>()),
      m_strip(std::make_unique<WaveformPainter>()) {}

OverlayPainter::~OverlayPainter() = default;

void OverlayPainter::SetRoute(std::vector<QPointF> lonLat) {
    m_route = std::move(lonLat);
}

void OverlayPainter::SetRecording(const TelemetrySet& telemetry, const CarSignals& car,
                                  std::optional<std::tm> created, double durationSeconds) {
    *m_telemetry = telemetry;
    m_hasTelemetry = telemetry.sampleCount > 0 || telemetry.fixCount > 0;
    m_car = car;
    m_carRow = std::any_of(car.seconds.begin(), car.seconds.end(),
                           [](const CarSecond& s) { return s.present; })
                   ? kCarRowHeight
                   : 0;
    m_created = created;
    m_duration = durationSeconds;
    m_shownKey = -1;
    m_regions.clear();
    const double refWidth = m_frameSize.width() / m_scale;
    const double refHeight = kRefHeight;
    if (!m_hasTelemetry) {
        if (m_created)
            m_regions.push_back(FrameRect(kMargin, refHeight - kClockHeight - kMargin, kClockWidth,
                                          kClockHeight, m_scale, m_frameSize));
    } else {
        const int band = kBandHeight + m_carRow;
        m_regions.push_back(FrameRect(0, refHeight - band, refWidth, band, m_scale, m_frameSize));
        if (!m_route.empty())
            m_regions.push_back(FrameRect(refWidth - kMapSide - kMargin, kMargin, kMapSide,
                                          kMapSide, m_scale, m_frameSize));
        m_strip->ClearData();
        m_strip->SetTelemetry(telemetry);
        const int startOfDay =
            m_created ? m_created->tm_hour * 3600 + m_created->tm_min * 60 + m_created->tm_sec : 0;
        m_strip->SetAxisSeconds(startOfDay, startOfDay + int(durationSeconds));
        m_strip->SetTotalSeconds(int(durationSeconds));
        const int stripWidth = std::max(kMinStripWidth, int(refWidth) - 4 * kMargin - 2 * kDial -
                                                            kDigitsWidth - kTextWidth);
        m_stripSize = QSize(stripWidth, kStripHeight);
        m_stripStatic = QImage(m_stripSize, QImage::Format_RGB32);
        QPainter p(&m_stripStatic);
        m_strip->DrawStaticLayers(p, m_stripSize);
    }
    m_overlays.clear();
    for (const QRect& r : m_regions)
        m_overlays.emplace_back(r.size(), QImage::Format_ARGB32_Premultiplied);
}

std::optional<QPointF> OverlayPainter::PositionOf(int fixIndex) const {
    if (fixIndex < 0 || fixIndex >= m_telemetry->fixCount)
        return std::nullopt;
    const auto point = RoutePointOf(m_telemetry->fixes[fixIndex], fixIndex + 1);
    if (!point)
        return std::nullopt;
    return QPointF(point->longitude, point->latitude);
}

void OverlayPainter::Update(double seconds) {
    // The read-outs follow the window's: sample floor(10 t), and from second s on the fix of
    // second s - 1, none in the first second.
    const int second = std::max(0, int(std::floor(seconds)));
    const int sample = std::max(0, int(std::floor(seconds * 10)));
    // The car's second may start a frame before the sample's (CarSignals::At()).
    const CarSecond* car = m_car.At(seconds);
    const long long carSecond = car ? car - m_car.seconds.data() + 1 : 0;
    const long long key = (carSecond << 40) | (static_cast<long long>(second) << 20) | sample;
    if (key == m_shownKey)
        return;
    m_shownKey = key;
    const int fix = second - 1 < m_telemetry->fixCount ? second - 1 : -1;
    for (std::size_t i = 0; i < m_regions.size(); ++i) {
        QImage& target = m_overlays[i];
        target.fill(Qt::transparent);
        if (!m_hasTelemetry)
            PaintClock(target, seconds);
        else if (i == 0)
            PaintBand(target, fix, seconds);
        else
            PaintMap(target, fix);
    }
}

void OverlayPainter::Compose(int region, QImage& image, double seconds) {
    if (region < 0 || region >= int(m_regions.size()))
        return;
    Update(seconds);
    QPainter p(&image);
    p.drawImage(0, 0, m_overlays[std::size_t(region)]);
}

void OverlayPainter::PaintClock(QImage& target, double seconds) {
    if (!m_created)
        return;
    QPainter p(&target);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(double(target.width()) / kClockWidth, double(target.height()) / kClockHeight);
    p.setPen(Qt::NoPen);
    p.setBrush(kShade);
    p.drawRoundedRect(QRectF(0, 0, kClockWidth, kClockHeight), 8, 8);
    p.setPen(kText);
    p.setFont(Font(36, true));
    p.drawText(QRectF(0, 0, kClockWidth, kClockHeight), Qt::AlignCenter,
               ClockText(*m_created, seconds));
}

void OverlayPainter::PaintBand(QImage& target, int fix, double seconds) {
    const bool hasFix = fix >= 0;
    const int speed = hasFix ? m_telemetry->speeds[fix] : 0;
    if (hasFix && (speed != m_gauges->speed() || m_gaugesImage.isNull() ||
                   m_telemetry->fixes[fix].heading != m_gauges->heading())) {
        m_gauges->SetSpeed(speed);
        m_gauges->SetHeading(m_telemetry->fixes[fix].heading);
        m_gaugesImage = QImage();
    }
    if (m_gaugesImage.isNull()) {
        m_gaugesImage = QImage(kPanelRect.size(), QImage::Format_RGB32);
        QPainter g(&m_gaugesImage);
        m_gauges->Paint(g, kSpeedDialCentreInPanel.y());
    }

    QPainter p(&target);
    const double scale = double(target.height()) / (kBandHeight + m_carRow);
    p.scale(scale, scale);
    const double width = target.width() / scale;
    p.fillRect(QRectF(0, 0, width, kBandHeight + m_carRow), kShade);
    if (m_carRow > 0) {
        if (const CarSecond* car = m_car.At(seconds)) {
            p.setFont(Font(30, true));
            CarSignalsPainter::Paint(p, QRectF(kMargin, 0, width - 2 * kMargin, m_carRow), *car,
                                     kText);
        }
        p.translate(0, m_carRow);
    }
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const int top = (kBandHeight - kDial) / 2;
    int x = kMargin;
    p.drawImage(QRectF(x, top, kDial, kDial), m_gaugesImage, kSpeedDialInPanel);
    x += kDial + kMargin;
    p.drawImage(QRectF(x, top, kDial, kDial), m_gaugesImage, kCompassInPanel);
    x += kDial + kMargin;

    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(kText);
    p.setFont(Font(56, true));
    const QString kmh = hasFix ? QString::number(speed) : QStringLiteral("--");
    p.drawText(QRectF(x, top, kDigitsWidth, 80), Qt::AlignLeft | Qt::AlignVCenter,
               kmh + QStringLiteral(" km/h"));
    p.setPen(kDim);
    p.setFont(Font(40, false));
    const QString mph =
        hasFix ? QString::number(int(speed * 0.6213843199880694)) : QStringLiteral("--");
    p.drawText(QRectF(x, top + 90, kDigitsWidth, 60), Qt::AlignLeft | Qt::AlignVCenter,
               mph + QStringLiteral(" mph"));
    x += kDigitsWidth;

    m_strip->SetCursor(std::clamp(int(std::floor(seconds * 10)), 0, m_strip->sampleCount()));
    m_strip->SetCurrentSecond(int(std::floor(seconds)));
    QImage strip = m_stripStatic.copy();
    {
        QPainter s(&strip);
        m_strip->DrawDynamicLayers(s, m_stripSize);
    }
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(QPointF(x, (kBandHeight - kStripHeight) / 2.0), strip);
    x += m_stripSize.width() + kMargin;

    p.setPen(kText);
    p.setFont(Font(40, true));
    if (m_created)
        p.drawText(QRectF(x, top, kTextWidth, 70), Qt::AlignLeft | Qt::AlignVCenter,
                   ClockText(*m_created, seconds));
    p.setFont(Font(30, false));
    if (const auto at = PositionOf(fix))
        p.drawText(QRectF(x, top + 80, kTextWidth, 60), Qt::AlignLeft | Qt::AlignVCenter,
                   PositionText(*at));
}

void OverlayPainter::PaintMap(QImage& target, int fix) {
    QPainter p(&target);
    p.setRenderHint(QPainter::Antialiasing);
    const double scale = double(target.width()) / kMapSide;
    p.scale(scale, scale);
    p.setPen(Qt::NoPen);
    p.setBrush(kShade);
    p.drawRoundedRect(QRectF(0, 0, kMapSide, kMapSide), 10, 10);

    // A local flat projection: a degree of longitude shrinks with the latitude's cosine.
    double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
    const double shrink = std::cos(m_route.front().y() * M_PI / 180);
    for (const QPointF& q : m_route) {
        minX = std::min(minX, q.x() * shrink);
        maxX = std::max(maxX, q.x() * shrink);
        minY = std::min(minY, q.y());
        maxY = std::max(maxY, q.y());
    }
    const double inner = kMapSide - 40;
    const double span = std::max({maxX - minX, maxY - minY, 1e-6});
    const double unit = inner / span;
    const QPointF origin(20 + (inner - (maxX - minX) * unit) / 2,
                         20 + (inner - (maxY - minY) * unit) / 2);
    auto place = [&](const QPointF& q) {
        return origin + QPointF((q.x() * shrink - minX) * unit, (maxY - q.y()) * unit);
    };
    QPolygonF line;
    for (const QPointF& q : m_route)
        line << place(q);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kRouteColour, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(line);
    if (const auto at = PositionOf(fix)) {
        p.setPen(QPen(Qt::white, 2));
        p.setBrush(kDotColour);
        p.drawEllipse(place(*at), 8, 8);
    }
}

} // namespace quello
