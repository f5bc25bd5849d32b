#include "outputs/PrintCapture.h"

#include "playback/CMediaGraph.h"
#include "playback/FrameDib.h"
#include "recordings/TelemetrySet.h"
#include "views/CMyWaveForm.h"

#include <QPainter>

#include <cstdint>
#include <cstring>
#include <vector>

namespace quello {

namespace {

std::int32_t ReadLe32(const unsigned char* at) {
    return std::int32_t(std::uint32_t(at[0]) | std::uint32_t(at[1]) << 8 |
                        std::uint32_t(at[2]) << 16 | std::uint32_t(at[3]) << 24);
}

// The engine's packed 32-bit bottom-up DIB as a top-down image; null for anything else.
QImage ImageFromPackedDib(const std::vector<unsigned char>& dib) {
    if (dib.size() < std::size_t(kDibHeaderSize))
        return {};
    const int width = ReadLe32(dib.data() + 4);
    const int height = ReadLe32(dib.data() + 8);
    const int bitCount = dib[14] | dib[15] << 8;
    if (bitCount != 32 || PackedDibSize(width, height) != int(dib.size()))
        return {};
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    const std::size_t rowBytes = std::size_t(width) * 4;
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = dib.data() + kDibHeaderSize + rowBytes * (height - 1 - y);
        std::memcpy(image.scanLine(y), row, rowBytes);
    }
    return image;
}

QImage CaptureFrame(CMediaGraph& engine) {
    const int size = engine.GetCurrentImageSize();
    if (size <= 0)
        return {};
    std::vector<unsigned char> dib(std::size_t(size), 0);
    if (!engine.GetCurrentImage(dib.data(), size))
        return {};
    return ImageFromPackedDib(dib);
}

} // namespace

PrintPageContent CapturePrintContent(CMediaGraph& engine, CMyWaveForm& waveform,
                                     const TelemetrySet& telemetry,
                                     std::optional<PrintedFix>& fix) {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    waveform.GetCursorSample(x, y, z);

    const double position = engine.GetPositionSeconds();
    waveform.SetCursor(int(position * 10.0));

    // The page documents the fix of the second on screen itself, not the one before it that
    // the playing read-outs show.
    QString speed, latitude, longitude;
    fix.reset();
    const int second = int(position);
    if (second >= 0 && second < telemetry.fixCount) {
        const GpsFix& at = telemetry.fixes[second];
        if (std::strlen(at.longitude) > 6 && std::strlen(at.latitude) > 6) {
            speed = QString::number(at.speed);
            latitude = QString::fromLatin1(at.latitude);
            longitude = QString::fromLatin1(at.longitude);
            fix = PrintedFix{latitude, longitude, speed};
        }
    }

    PrintPageContent content;
    content.telemetryText = FormatPrintTelemetry(x, y, z, speed, longitude, latitude);
    content.frame = CaptureFrame(engine);
    content.strip = QImage(waveform.size(), QImage::Format_RGB32);
    content.strip.fill(Qt::white);
    QPainter painter(&content.strip);
    waveform.DrawAll(&painter);
    painter.end();
    content.printTime = QDateTime::currentDateTime();
    return content;
}

} // namespace quello
