#include "WaveformPainter.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>

namespace quello {

namespace {

const QColor kTextColor(247, 148, 28);
const QColor kXColor(255, 0, 0);
const QColor kYColor(0, 255, 0);
const QColor kZColor(255, 0, 255);
const QColor kSpeedColor(255, 255, 0);
const QColor kBackgroundColor(10, 10, 10);
const QColor kPlotColor(0, 0, 0);
const QColor kGridColor(0, 0, 255);
const QColor kCursorColor(0, 255, 0);
const QColor kEventColor(255, 140, 0); // the G-force events, as on the position slider
// A clip's In and Out, as on the position slider, and the span between them.
const QColor kClipMarkColor(0, 220, 220);
const QColor kClipBandColor(0, 220, 220, 40);

// Truncation toward zero, saturated so that absurd telemetry (a raw value near the int32
// limits) can neither overflow the conversion nor hand the rasteriser coordinates it chokes on.
int TruncCoord(double v) {
    if (std::isnan(v))
        return 0;
    return static_cast<int>(std::clamp(v, -1.0e6, 1.0e6));
}

int TruncInt(double v) {
    if (std::isnan(v))
        return 0;
    constexpr double lo = std::numeric_limits<int>::min();
    constexpr double hi = std::numeric_limits<int>::max();
    return static_cast<int>(std::clamp(v, lo, hi));
}

QString ClockText(int s) {
    return QString::asprintf("%02d:%02d:%02d", s / 3600, (s % 3600) / 60, s % 60);
}

// Horizontal and vertical lines of one pixel, first point drawn, end point excluded.
void HLine(QPainter& p, int x0, int x1, int y, const QColor& c) {
    if (x1 > x0)
        p.fillRect(x0, y, x1 - x0, 1, c);
}

void VLine(QPainter& p, int x, int y0, int y1, const QColor& c) {
    if (y1 > y0)
        p.fillRect(x, y0, 1, y1 - y0, c);
}

// A dotted cosmetic pen: three pixels on, three off, counted from the line's first point.
void DottedHLine(QPainter& p, int x0, int x1, int y, const QColor& c) {
    for (int x = x0; x < x1; x += 6)
        p.fillRect(x, y, std::min(3, x1 - x), 1, c);
}

} // namespace

WaveformPainter::WaveformPainter() {
    m_labelFont.setFamily(QStringLiteral("Arial"));
    m_labelFont.setStyleHint(QFont::SansSerif);
    // A 14-pixel text cell (ascent + descent), the height of the strips above and below the plot.
    m_labelFont.setPixelSize(12);
    m_labelFont.setWeight(QFont::Normal);
    m_labelFont.setStyleStrategy(QFont::NoAntialias);
}

void WaveformPainter::SetGSensorData(const GSensorSample* samples, int count) {
    m_sampleCount = 0;
    if (samples == nullptr || count < 1 || count > kMaxPoints)
        return;
    bool allZero = true;
    for (int i = 0; i < count; ++i) {
        m_xValues[i] = static_cast<float>(samples[i].x) * 0.001f;
        m_yValues[i] = static_cast<float>(samples[i].y) * 0.001f;
        m_zValues[i] = static_cast<float>(samples[i].z) * 0.001f;
        allZero = allZero && m_xValues[i] == 0.0f && m_yValues[i] == 0.0f && m_zValues[i] == 0.0f;
    }
    m_cursorIndex = 0;
    m_sampleCount = count;
    // A recording without G-sensor data is shown as its speed curve. Testing every value
    // (rather than their sum) keeps real data whose axes happen to cancel in the G view.
    if (allZero)
        m_speedView = true;
}

void WaveformPainter::SetTelemetry(const TelemetrySet& telemetry) {
    static const GSensorSample still[kMaxPoints] = {};
    if (telemetry.sampleCount > 0)
        SetGSensorData(telemetry.samples, telemetry.sampleCount);
    else
        SetGSensorData(still, std::min(telemetry.fixCount * 10, kMaxPoints));
    SetSpeedData(telemetry.speeds, telemetry.fixCount);
}

void WaveformPainter::SetSpeedData(const std::int32_t* speeds, int count) {
    m_speedCount = 0;
    if (speeds == nullptr || count < 1 || count > kMaxPoints)
        return;
    for (int i = 0; i < count; ++i)
        m_speedValues[i] = static_cast<float>(speeds[i]);
    m_speedCount = count;
    m_cursorIndex = 0;
}

void WaveformPainter::GetCursorSample(float& x, float& y, float& z) const {
    if (m_cursorIndex < 0 || m_cursorIndex >= m_sampleCount)
        return;
    x = m_xValues[m_cursorIndex];
    y = m_yValues[m_cursorIndex];
    z = m_zValues[m_cursorIndex];
}

bool WaveformPainter::SetCursor(int sampleIndex) {
    if (sampleIndex < 0 || sampleIndex > m_sampleCount)
        return false;
    m_cursorIndex = sampleIndex;
    return true;
}

void WaveformPainter::ClearData() {
    m_sampleCount = 0;
    m_speedCount = 0;
    std::fill(std::begin(m_xValues), std::end(m_xValues), 0.0f);
    std::fill(std::begin(m_yValues), std::end(m_yValues), 0.0f);
    std::fill(std::begin(m_zValues), std::end(m_zValues), 0.0f);
    std::fill(std::begin(m_speedValues), std::end(m_speedValues), 0.0f);
    m_cursorIndex = 0;
    m_currentSecond = 0;
    m_totalSeconds = 0;
    m_axisStartSecond = 0;
    m_axisEndSecond = 0;
    m_eventMarks.clear();
    m_clipIn.reset();
    m_clipOut.reset();
}

void WaveformPainter::SetAxisSeconds(int axisStartSecond, int axisEndSecond) {
    m_axisStartSecond = axisStartSecond;
    m_axisEndSecond = axisEndSecond;
}

void WaveformPainter::DrawAll(QPainter& p, QSize size) {
    p.save();
    DrawStaticLayers(p, size);
    DrawDynamicLayers(p, size);
    p.restore();
}

int WaveformPainter::IndexAt(int x, int y, QSize size) const {
    const PlotRect r = PlotRectOf(size);
    if (x < r.left || x > r.right || y < r.top || y > r.bottom)
        return -1;
    // One sample (or none) spans the whole plot: every point of it is the start.
    if (m_sampleCount < 2 || r.right <= r.left)
        return 0;
    const double step = static_cast<double>(r.right - r.left) / (m_sampleCount - 1);
    return TruncInt((x - r.left) / step);
}

WaveformPainter::PlotRect WaveformPainter::PlotRectOf(QSize size) {
    return PlotRect{20, 14, size.width(), size.height() - 14};
}

void WaveformPainter::DrawStaticLayers(QPainter& p, QSize size) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.fillRect(QRect(QPoint(0, 0), size), kBackgroundColor);
    const PlotRect r = PlotRectOf(size);
    if (r.right > r.left && r.bottom > r.top)
        p.fillRect(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top), kPlotColor);
    DrawAxisLabels(p, r);
    DrawGrid(p, r);
    DrawCurves(p, r);
    DrawEventMarks(p, r);
    DrawClipMarks(p, r);
}

void WaveformPainter::DrawDynamicLayers(QPainter& p, QSize size) {
    const int index = m_cursorIndex;
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    const PlotRect r = PlotRectOf(size);
    DrawCursor(p, r, index);
    DrawReadouts(p, r, index);
    DrawTimeText(p, r);
}

void WaveformPainter::DrawText(QPainter& p, int x, int y, const QString& text) {
    // The point is the text cell's top-left corner, as with a top-aligned text output.
    p.drawText(x, y + QFontMetrics(m_labelFont).ascent(), text);
}

void WaveformPainter::DrawAxisLabels(QPainter& p, const PlotRect& r) {
    const int L = r.left, T = r.top, R = r.right, B = r.bottom;
    const int q = (B - T) / 4;
    p.setFont(m_labelFont);
    p.setPen(kTextColor);
    const int middle = m_axisStartSecond + (m_axisEndSecond - m_axisStartSecond) / 2;
    DrawText(p, L, 0, ClockText(m_axisStartSecond));
    DrawText(p, L + (R - L) / 2 - 20, 0, ClockText(middle));
    DrawText(p, R - 42, 0, ClockText(m_axisEndSecond));

    struct Label {
        const char* text;
        int dx;
        int y;
    };
    const Label speedLabels[] = {{"120", -20, T},
                                 {"90", -14, T + q - 8},
                                 {"60", -14, T + 2 * q - 8},
                                 {"30", -14, T + 3 * q - 8},
                                 {"0", -8, T + 4 * q - 16},
                                 {"(Km/H)", -18, B}};
    const Label gLabels[] = {{"+2", -14, T},
                             {"+1", -14, T + q - 8},
                             {"0", -10, T + 2 * q - 8},
                             {"-1", -14, T + 3 * q - 8},
                             {"-2", -14, T + 4 * q - 16},
                             {"(G)", -18, B}};
    for (const Label& label : m_speedView ? speedLabels : gLabels)
        DrawText(p, L + label.dx, label.y, QString::fromLatin1(label.text));
}

void WaveformPainter::DrawGrid(QPainter& p, const PlotRect& r) {
    const int L = r.left, T = r.top, R = r.right, B = r.bottom;
    const int q = (B - T) / 4;
    DottedHLine(p, L, R, T + q, kGridColor);
    HLine(p, L, R, T, kGridColor);
    HLine(p, L, R, T + 2 * q, kGridColor);
    HLine(p, L, R, B, kGridColor);
    VLine(p, L, T, B, kGridColor);
    VLine(p, L + (R - L) / 2, T, B, kGridColor);
    VLine(p, R, T, B, kGridColor);
    DottedHLine(p, L, R, T + 3 * q, kGridColor);
}

void WaveformPainter::DrawCurves(QPainter& p, const PlotRect& r) {
    const int L = r.left, T = r.top, R = r.right, B = r.bottom;
    if (m_sampleCount < 2)
        return;
    QPolygon line;
    auto drawLine = [&](const QColor& colour) {
        p.setPen(QPen(colour, 1));
        p.drawPolyline(line);
    };
    if (m_speedView) {
        // With fewer than two speeds the horizontal step is undefined: nothing to draw.
        if (m_speedCount < 2)
            return;
        m_xStep = static_cast<float>(static_cast<double>(R - L) / (m_speedCount - 1));
        m_yScale = static_cast<float>((B - T) * 0.0008333333333333334);
        auto yOf = [&](float v) { return TruncCoord(B - v * m_yScale * 10.0); };
        line.reserve(m_speedCount + 1);
        line << QPoint(L, yOf(m_speedValues[0]));
        for (int i = 0; i < m_speedCount; ++i)
            line << QPoint(TruncCoord(L + 1 + i * m_xStep), yOf(m_speedValues[i]));
        drawLine(kSpeedColor);
        return;
    }
    m_xStep = static_cast<float>(static_cast<double>(R - L) / (m_sampleCount - 1));
    m_yScale = static_cast<float>((B - T) * 0.025);
    const int mid = T + (B - T) / 2;
    auto yOf = [&](float g) { return TruncCoord(mid - g * m_yScale * 10.0); };
    const float* axes[] = {m_xValues, m_yValues, m_zValues};
    const QColor colours[] = {kXColor, kYColor, kZColor};
    line.resize(m_sampleCount);
    for (int a = 0; a < 3; ++a) {
        const float* v = axes[a];
        line[0] = QPoint(L, yOf(v[0]));
        for (int i = 1; i < m_sampleCount; ++i)
            line[i] = QPoint(TruncCoord(L + i * m_xStep), yOf(v[i]));
        drawLine(colours[a]);
    }
}

void WaveformPainter::DrawCursor(QPainter& p, const PlotRect& r, int index) {
    if (index < 0 || index > kMaxPoints)
        return;
    if (m_speedView)
        index /= 10;
    const int x = TruncCoord(index * m_xStep + r.left);
    VLine(p, x, r.top, r.bottom, kCursorColor);
}

void WaveformPainter::DrawClipMarks(QPainter& p, const PlotRect& r) {
    const int count = m_speedView ? m_speedCount : m_sampleCount;
    if (count <= 0)
        return;
    const auto point = [&](int index) { return m_speedView && index >= 0 ? index / 10 : index; };
    const auto xOf = [&](int point) {
        return TruncCoord(std::clamp(point, 0, count - 1) * m_xStep + r.left);
    };
    if (m_clipIn && m_clipOut && *m_clipIn <= *m_clipOut) {
        const int left = xOf(point(*m_clipIn)), right = xOf(point(*m_clipOut));
        p.fillRect(QRect(left, r.top, std::max(1, right - left), r.bottom - r.top), kClipBandColor);
    }
    for (const std::optional<int>& mark : {m_clipIn, m_clipOut})
        if (mark && point(*mark) >= 0 && point(*mark) < count)
            VLine(p, xOf(point(*mark)), r.top, r.bottom, kClipMarkColor);
}

void WaveformPainter::DrawEventMarks(QPainter& p, const PlotRect& r) {
    const int count = m_speedView ? m_speedCount : m_sampleCount;
    p.setPen(Qt::NoPen);
    p.setBrush(kEventColor);
    for (int index : m_eventMarks) {
        if (m_speedView)
            index /= 10;
        if (index < 0 || index >= count)
            continue;
        const int x = TruncCoord(index * m_xStep + r.left);
        const QPoint triangle[] = {{x - 4, r.top}, {x + 4, r.top}, {x, r.top + 5}};
        p.drawPolygon(triangle, 3);
    }
    p.setBrush(Qt::NoBrush);
}

void WaveformPainter::DrawReadouts(QPainter& p, const PlotRect& r, int index) {
    if (index < 0 || index > kMaxPoints)
        index = 0;
    const int L = r.left, B = r.bottom;
    p.setFont(m_labelFont);
    p.setPen(kXColor);
    DrawText(p, L + 20, B, QString::asprintf("X: %0.4f", m_xValues[index]));
    p.setPen(kYColor);
    DrawText(p, L + 100, B, QString::asprintf("Y: %0.4f", m_yValues[index]));
    p.setPen(kZColor);
    DrawText(p, L + 180, B, QString::asprintf("Z: %0.4f", m_zValues[index]));
    const int second = index / 10;
    if (index == 0 || second < m_speedCount) {
        // At second s the fix of second s - 1 is the one the map and the gauges show.
        const int k = second > 0 ? second - 1 : 0;
        p.setPen(kSpeedColor);
        DrawText(p, L + 260, B, QString::asprintf("%dKm/H", TruncInt(m_speedValues[k])));
        DrawText(p, L + 340, B,
                 QString::asprintf("%dMPH", TruncInt(m_speedValues[k] * 0.6213843199880694)));
    }
}

void WaveformPainter::DrawTimeText(QPainter& p, const PlotRect& r) {
    p.setFont(m_labelFont);
    p.setPen(kTextColor);
    DrawText(p, r.right - 96, r.bottom,
             ClockText(m_currentSecond) + QLatin1Char('/') + ClockText(m_totalSeconds));
}

} // namespace quello
