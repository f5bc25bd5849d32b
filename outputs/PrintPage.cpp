#include "outputs/PrintPage.h"

#include "recordings/base/AtomicFile.h"

#include <QFile>
#include <QFont>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

#include <cmath>

namespace quello {

namespace {

constexpr int kTextFlags = Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs | Qt::TextDontClip;
constexpr int kMargin = 80;
constexpr int kPictureTop = 250;
constexpr int kPdfResolution = 300;

// value * numerator / denominator rounded to the nearest integer, as a font height in points
// becomes device pixels.
int MulDiv(int value, int numerator, int denominator) {
    return int(std::lround(double(value) * numerator / denominator));
}

// Height of `image` stretched over `width` pixels at its own aspect ratio, truncated.
int StretchedHeight(const QImage& image, int width) {
    return int(double(image.height()) / double(image.width()) * width);
}

} // namespace

QString FormatPrintTelemetry(float x, float y, float z, const QString& speed,
                             const QString& longitude, const QString& latitude) {
    return QString::asprintf("G-Sensor [x: %0.3f  y: %0.3f  z: %0.3f]\n", double(x), double(y),
                             double(z)) +
           QStringLiteral("GPS speed: %1Km/H\nGPS coordinate [Longitude: %2  Latitude: %3]")
               .arg(speed, longitude, latitude);
}

bool PaintPrintPage(QPaintDevice& device, const PrintPageContent& content) {
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const int w = device.width();
    const int h = device.height();

    QFont font(QStringList{QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                           QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(1, MulDiv(10, device.logicalDpiY(), 72)));
    font.setWeight(QFont::Normal);
    painter.setFont(font);
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(Qt::white);
    painter.setPen(QPen(Qt::black, 1, Qt::SolidLine));

    painter.drawText(QRect(10, 10, w - 10, h - 10), kTextFlags | Qt::AlignLeft,
                     QStringLiteral("Movastra print service.(V1.0)"));
    painter.drawLine(10, 60, w, 60);
    painter.drawText(QRect(kMargin, 80, w - 2 * kMargin, 160), kTextFlags | Qt::AlignLeft,
                     content.telemetryText);

    const int width = w - 2 * kMargin;
    int stripTop = kPictureTop;
    if (!content.frame.isNull() && content.frame.width() > 0) {
        const int bottom = kPictureTop + StretchedHeight(content.frame, width);
        painter.drawImage(QRect(kMargin, kPictureTop, width, bottom - kPictureTop), content.frame);
        stripTop = bottom + 10;
    }
    if (!content.strip.isNull() && content.strip.width() > 0) {
        painter.drawImage(QRect(kMargin, stripTop, width, StretchedHeight(content.strip, width)),
                          content.strip);
    }

    const QDateTime& t = content.printTime;
    const QString footer = QString::asprintf("Print time: %04d-%02d-%02d %02d:%02d:%02d",
                                             t.date().year(), t.date().month(), t.date().day(),
                                             t.time().hour(), t.time().minute(), t.time().second());
    painter.drawText(QRect(10, h - 50, w - 10, 50), kTextFlags | Qt::AlignHCenter, footer);
    painter.drawLine(10, h - 60, w, h - 60);

    const bool ended = painter.end();
    if (const auto* printer = dynamic_cast<const QPrinter*>(&device))
        return ended && printer->printerState() != QPrinter::Error;
    return ended;
}

void SetUpPagePdfPrinter(QPrinter& printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setResolution(kPdfResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setDocName(QStringLiteral("Movastra print service"));
}

bool SavePrintPagePdf(const QPrinter& printer, const PrintPageContent& content,
                      const std::string& path) {
    AtomicFile file;
    if (!file.Open(path))
        return false;
    // Qt's PDF writer goes on past a failed write; the file device it writes to keeps the
    // error, and the stream below it reports what is still buffered when committed.
    QFile out;
    if (!out.open(file.stream(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
        return false;
    {
        QPdfWriter writer(&out);
        writer.setPdfVersion(printer.pdfVersion());
        writer.setResolution(printer.resolution());
        writer.setPageLayout(printer.pageLayout());
        writer.setTitle(printer.docName());
        writer.setCreator(printer.creator());
        if (!PaintPrintPage(writer, content))
            return false;
    }
    if (!out.flush() || out.error() != QFileDevice::NoError)
        return false;
    out.close();
    return file.Commit();
}

} // namespace quello
