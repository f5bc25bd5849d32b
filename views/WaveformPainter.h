#pragma once

#include "recordings/GSensorSample.h"
#include "recordings/TelemetrySet.h"

#include <QFont>
#include <QSize>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

class QPainter;

namespace quello {

// The drawing of the telemetry strip, free of any widget: the three G-sensor axes (G view) or
// the speed curve (speed view), a cursor at a sample index, read-outs of the values under the
// cursor in g, km/h and MPH, time-of-day labels along the top and the elapsed/total playing
// time. CMyWaveForm shows it on screen; the overlay of an exported clip paints it into frames.
//
// A plain object that copies all data in and keeps no pointer to its caller's storage. Not
// synchronized: use one instance from one thread (any thread: it paints with QPainter on
// whatever device it is given, and an image may be painted off the GUI thread).
// Antialiasing is off everywhere; font() is the font of all its texts.
class WaveformPainter {
public:
    static constexpr int kMaxPoints = 3000;

    WaveformPainter();

    // Copies count samples (raw thousandths of a g) and moves the cursor to 0. A count outside
    // 1..3000 (or a null pointer) leaves the strip empty. G data that are all zero switch to the
    // speed view; loading never switches back to the G view.
    void SetGSensorData(const GSensorSample* samples, int count);
    // Copies count speeds in km/h (one per second); same count rule as SetGSensorData.
    void SetSpeedData(const std::int32_t* speeds, int count);
    // Both of the above from a recording's telemetry. A track without G-sensor samples is given
    // still zero samples for the seconds of its fixes, as a camera without a sensor writes
    // them: the strip shows its speed curve, and the cursor and read-outs follow the time.
    void SetTelemetry(const TelemetrySet& telemetry);
    // Moves the cursor to a sample index (tenths of a second); false (and no change) for an
    // index outside 0..sampleCount().
    bool SetCursor(int sampleIndex);
    void SetEventMarks(std::vector<int> sampleIndexes) { m_eventMarks = std::move(sampleIndexes); }
    const std::vector<int>& eventMarks() const { return m_eventMarks; }
    // A clip's In and Out (sample indexes): a line each and, when both are set, a light band
    // between them. A mark outside the strip (a span that runs on into the recording before or
    // after) draws no line, and the band runs to the plot's edge.
    void SetClipMarks(std::optional<int> in, std::optional<int> out) {
        m_clipIn = in;
        m_clipOut = out;
    }
    std::pair<std::optional<int>, std::optional<int>> clipMarks() const {
        return {m_clipIn, m_clipOut};
    }
    // Empties the strip (counts, values, cursor, time fields, marks of both kinds); keeps the
    // view.
    void ClearData();
    void SetSpeedView(bool speedView) { m_speedView = speedView; }
    // Writes the G values under the cursor when the cursor stands on a loaded sample, else
    // leaves the three outputs untouched.
    void GetCursorSample(float& x, float& y, float& z) const;

    // Seconds since midnight for the axis (not wrapped at 24:00), whole seconds for the
    // playing time.
    void SetAxisSeconds(int axisStartSecond, int axisEndSecond);
    void SetTotalSeconds(int totalSeconds) { m_totalSeconds = totalSeconds; }
    void SetCurrentSecond(int currentSecond) { m_currentSecond = currentSecond; }

    // Background, plot, labels, grid, curves and event marks of a strip of `size` at the
    // painter's origin: what changes only with the data.
    void DrawStaticLayers(QPainter& p, QSize size);
    // Cursor, read-outs and playing time over the static layers.
    void DrawDynamicLayers(QPainter& p, QSize size);
    // The whole strip: both of the above.
    void DrawAll(QPainter& p, QSize size);

    // The sample index under x in a strip of `size`; -1 when x lies outside the plot.
    int IndexAt(int x, int y, QSize size) const;

    int sampleCount() const { return m_sampleCount; }
    int speedCount() const { return m_speedCount; }
    int cursorIndex() const { return m_cursorIndex; }
    bool isSpeedView() const { return m_speedView; }
    int axisStartSecond() const { return m_axisStartSecond; }
    int axisEndSecond() const { return m_axisEndSecond; }
    int totalSeconds() const { return m_totalSeconds; }
    int currentSecond() const { return m_currentSecond; }
    const QFont& font() const { return m_labelFont; }

private:
    struct PlotRect {
        int left, top, right, bottom;
    };
    static PlotRect PlotRectOf(QSize size);
    void DrawAxisLabels(QPainter& p, const PlotRect& r);
    void DrawGrid(QPainter& p, const PlotRect& r);
    void DrawCurves(QPainter& p, const PlotRect& r);
    void DrawCursor(QPainter& p, const PlotRect& r, int index);
    void DrawEventMarks(QPainter& p, const PlotRect& r);
    void DrawClipMarks(QPainter& p, const PlotRect& r);
    void DrawReadouts(QPainter& p, const PlotRect& r, int index);
    void DrawTimeText(QPainter& p, const PlotRect& r);
    void DrawText(QPainter& p, int x, int y, const QString& text);

    // One slot past the last sample stays 0.0 for good, so a cursor standing at 3000 reads
    // zeros instead of memory beyond the arrays.
    float m_xValues[kMaxPoints + 1] = {};
    float m_yValues[kMaxPoints + 1] = {};
    float m_zValues[kMaxPoints + 1] = {};
    float m_speedValues[kMaxPoints] = {};
    int m_sampleCount = 0;
    int m_speedCount = 0;
    bool m_speedView = false;
    int m_cursorIndex = -1;
    int m_currentSecond = 0;
    int m_totalSeconds = 0;
    int m_axisStartSecond = 0;
    int m_axisEndSecond = 0;
    std::vector<int> m_eventMarks;
    std::optional<int> m_clipIn;
    std::optional<int> m_clipOut;
    // Pixels per data point and vertical scale of the last curve drawing; the cursor uses the
    // step of the last drawing even when no curve was drawn since.
    float m_xStep = 0.0f;
    float m_yScale = 0.0f;
    QFont m_labelFont;
};

} // namespace quello
