#pragma once

#include <QDateTime>
#include <QImage>
#include <QString>

#include <string>

class QPaintDevice;
class QPrinter;

namespace quello {

// What the printed page of one moment shows. A plain value.
struct PrintPageContent {
    QString telemetryText; // the three lines of FormatPrintTelemetry
    QImage frame;          // the video frame on screen; a null image leaves the picture out
    QImage strip;          // the waveform strip as drawn on screen, at the control's size
    QDateTime printTime;   // local time of printing, shown in the footer
};

// The three telemetry lines: G values in g, then the speed, longitude and latitude texts
// (empty texts when the moment has no usable fix).
QString FormatPrintTelemetry(float x, float y, float z, const QString& speed,
                             const QString& longitude, const QString& latitude);

// Draws the page onto `device` (a printer, a PDF printer or an image). Every place is in the
// device's pixels, W x H being its paintable area: title, rule at 60, telemetry text, the
// frame over the width W - 160 at its own aspect ratio from y = 250, the strip 10 pixels below
// it (or from 250 without a frame), the footer with its rule at H - 60. Text is 10 points at the
// device's vertical resolution. Returns false when the device cannot be painted on or, for a
// printer, when its job ended in an error. GUI thread.
bool PaintPrintPage(QPaintDevice& device, const PrintPageContent& content);

// Sets `printer` up as `quello print` prints: a PDF at 300 dpi on A4, named as the player's
// print service.
void SetUpPagePdfPrinter(QPrinter& printer);

// The page as a one-page PDF file at `path` (UTF-8), with the page layout, resolution, PDF
// version, title and creator of `printer`. The file is replaced atomically: false when it cannot
// be created, replaced (a read-only file) or completely written (a full disk), and then the old
// file is kept and nothing else is left behind. GUI thread.
bool SavePrintPagePdf(const QPrinter& printer, const PrintPageContent& content,
                      const std::string& path);

} // namespace quello
