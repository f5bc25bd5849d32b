#pragma once

#include "cameras/CarSignals.h"
#include "recordings/TelemetrySet.h"

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QSize>

#include <ctime>
#include <memory>
#include <optional>
#include <vector>

namespace quello {

class DashGauges;
class WaveformPainter;

// The telemetry burned into an exported clip's frames, drawn with the window's own painters:
// a band along the bottom with the speedometer and compass (DashGauges), the speed in large
// digits (km/h and mph), the G-sensor strip with its cursor (WaveformPainter), the camera's date
// and time and the GPS position, and for a recording with the car's own signals a row above
// them with those of the second on screen (CarSignalsPainter); and in the top right corner a
// small route map of the clip's fixes with the current position. A recording without
// telemetry gets the clock alone.
// Everything is laid out for a 1080-line picture and scaled to the frame's height; the rest of
// the picture stays clear.
//
// The painter only ever touches regions(): the caller converts those parts of a frame to an
// RGB image, lets Compose() draw over them and converts them back. What the overlay shows is
// drawn again only when it changes (ten times a second at most), so a frame costs one blend
// per region. A plain object: QImage and QPainter only, so any one thread may use it once a
// QGuiApplication exists.
class OverlayPainter {
public:
    explicit OverlayPainter(QSize frameSize);
    ~OverlayPainter();
    OverlayPainter(const OverlayPainter&) = delete;
    OverlayPainter& operator=(const OverlayPainter&) = delete;

    // The route of the whole clip as (longitude, latitude) points, in time order.
    void SetRoute(std::vector<QPointF> lonLat);
    // The recording whose frames come next: its telemetry (copied; an empty set for none), the
    // car's own signals beside it (copied; empty for none), its header's creation time (the
    // camera's clock at second 0, when known) and length.
    void SetRecording(const TelemetrySet& telemetry, const CarSignals& car,
                      std::optional<std::tm> created, double durationSeconds);

    // The parts of the frame the overlay covers for the current recording: even-aligned,
    // inside the frame.
    const std::vector<QRect>& regions() const { return m_regions; }
    // Draws over `image` (Format_RGB32, the size of regions()[region], holding that part of the
    // frame) what the overlay shows `seconds` into the current recording.
    void Compose(int region, QImage& image, double seconds);

private:
    void Update(double seconds);
    void PaintBand(QImage& target, int fixIndex, double seconds);
    void PaintMap(QImage& target, int fixIndex);
    void PaintClock(QImage& target, double seconds);
    std::optional<QPointF> PositionOf(int fixIndex) const;

    QSize m_frameSize;
    double m_scale = 1;
    std::unique_ptr<TelemetrySet> m_telemetry;
    bool m_hasTelemetry = false;
    CarSignals m_car;
    int m_carRow = 0; // the height of the band's row of car signals; 0 without them
    std::optional<std::tm> m_created;
    double m_duration = 0;
    std::vector<QPointF> m_route;

    std::unique_ptr<DashGauges> m_gauges;
    std::unique_ptr<WaveformPainter> m_strip;
    QImage m_gaugesImage; // the panel with both needles, redrawn when a needle moves
    QImage m_stripStatic; // the strip's curves and labels, drawn once per recording
    QSize m_stripSize;

    std::vector<QRect> m_regions;
    std::vector<QImage> m_overlays; // one premultiplied image per region
    long long m_shownKey = -1;
};

} // namespace quello
