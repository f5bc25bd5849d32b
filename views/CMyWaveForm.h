#pragma once

#include "WaveformPainter.h"

#include "recordings/GSensorSample.h"
#include "recordings/TelemetrySet.h"

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <vector>

class QPainter;

namespace quello {

// A telemetry strip: the three G-sensor axes (G view) or the speed curve (speed view), a
// cursor at a sample index, read-outs of the values under the cursor in g, km/h and MPH,
// time-of-day labels along the top and the elapsed/total playing time.
//
// A child widget, owned by its parent; GUI thread only. All data are copied in, the control
// keeps no pointer to its caller's storage.
//
// Drawing: every pixel comes from one off-screen image that is rebuilt only when something it
// shows has changed (background, labels, grid and curves are cached separately from the cursor
// and the read-outs), so ten cursor updates a second cost one blit each and never flicker.
// The drawing itself is WaveformPainter's. Antialiasing is off everywhere. The control's
// font() is the font of all its texts.
//
// Mouse: a left press inside the plot stores the sample index under the pointer in
// clickedIndex() (-1 outside the plot) and then emits clicked(). A right press emits
// rightClicked() and changes nothing by itself: the owner decides whether to call
// ToggleSpeedView() (connect the signal, or catch the press in an event filter, not both).
class CMyWaveForm : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMaxPoints = WaveformPainter::kMaxPoints;

    explicit CMyWaveForm(QWidget* parent = nullptr);
    ~CMyWaveForm() override;

    // Copies count samples (raw thousandths of a g) and moves cursor and click index to 0.
    // A count outside 1..3000 (or a null pointer) leaves the control empty. Loading G data that
    // are all zero switches to the speed view; loading never switches back to the G view.
    // No repaint of its own: repaint after SetSpeedData.
    void SetGSensorData(const GSensorSample* samples, int count);
    // Copies count speeds in km/h (one per second); same count rule as SetGSensorData.
    void SetSpeedData(const std::int32_t* speeds, int count);
    // Both of the above from a recording's telemetry. A track without G-sensor samples (a GPS
    // log, another camera's GPS) is given still zero samples for the seconds of its fixes, as a
    // camera without a sensor writes them: the strip shows its speed curve, and the cursor and
    // the speed read-outs follow the playing time.
    void SetTelemetry(const TelemetrySet& telemetry);
    // Moves the cursor to a sample index (tenths of a second); indices outside
    // 0..sampleCount() are ignored. Repaints.
    void SetCursor(int sampleIndex);
    // Marks moments (sample indexes, tenths of a second) with a small triangle at the top of the
    // plot, in a colour of their own: the G-force events. Kept until replaced or ClearData.
    void SetEventMarks(std::vector<int> sampleIndexes);
    const std::vector<int>& eventMarks() const { return m_painter.eventMarks(); }
    // Marks a clip's In and Out (sample indexes) with a line each and the span between them with
    // a light band (see WaveformPainter::SetClipMarks). Kept until replaced or ClearData.
    // Repaints.
    void SetClipMarks(std::optional<int> inSample, std::optional<int> outSample);
    std::pair<std::optional<int>, std::optional<int>> clipMarks() const {
        return m_painter.clipMarks();
    }
    // Empties the control (counts, values, cursor, click index, time fields, marks); keeps the
    // view.
    void ClearData();
    // Switches between the G view and the speed view. Repaints.
    void ToggleSpeedView();
    // Writes the G values under the cursor when the cursor stands on a loaded sample, else
    // leaves the three outputs untouched.
    void GetCursorSample(float& x, float& y, float& z) const;
    // Draws the whole control at the painter's origin in the control's current size, the same
    // pixels the screen shows (used for the printed page). Returns false for a null painter.
    bool DrawAll(QPainter* painter);

    // Time fields. Seconds since midnight for the axis (not wrapped at 24:00), whole seconds
    // for the playing time. Each repaints when it changes.
    void SetAxisSeconds(int axisStartSecond, int axisEndSecond);
    void SetTotalSeconds(int totalSeconds);
    void SetCurrentSecond(int currentSecond);

    int sampleCount() const { return m_painter.sampleCount(); }
    int speedCount() const { return m_painter.speedCount(); }
    int cursorIndex() const { return m_painter.cursorIndex(); }
    int clickedIndex() const { return m_clickedIndex; }
    bool isSpeedView() const { return m_painter.isSpeedView(); }

signals:
    void clicked();
    void rightClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void InvalidateAll();
    void InvalidateCursor();

    WaveformPainter m_painter;
    int m_clickedIndex = -1;
    QImage m_staticImage; // background, plot, labels, grid, curves
    QImage m_frame;       // m_staticImage plus cursor, read-outs and playing time
    bool m_staticValid = false;
    bool m_frameValid = false;
};

} // namespace quello
