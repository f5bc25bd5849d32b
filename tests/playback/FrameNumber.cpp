#include "FrameNumber.h"

#include <cstring>

namespace quello::test {

QString MediaPath(const char* name) {
    return QStringLiteral(QUELLO_TEST_MEDIA_DIR "/") + QString::fromUtf8(name);
}

int FrameNumber(const QImage& picture) {
    if (picture.isNull())
        return -1;
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    const int w = image.width(), h = image.height();
    const QColor bottom = image.pixelColor(w / 2, h * 7 / 8);
    if (bottom.red() < 160 || bottom.green() > 90 || bottom.blue() > 90)
        return -1;
    int number = 0;
    for (int bar = 0; bar < 8; ++bar) {
        const QColor c = image.pixelColor((2 * bar + 1) * w / 16, h / 4);
        const int grey = (c.red() + c.green() + c.blue()) / 3;
        if (grey > 80 && grey < 170)
            return -1; // neither black nor white: not a bar
        number = number * 2 + (grey >= 170 ? 1 : 0);
    }
    return number;
}

QImage DibToImage(const unsigned char* dib, int size) {
    if (!dib || size < 40)
        return {};
    std::int32_t width = 0, height = 0;
    std::uint16_t bits = 0;
    std::memcpy(&width, dib + 4, 4);
    std::memcpy(&height, dib + 8, 4);
    std::memcpy(&bits, dib + 14, 2);
    if (bits != 32 || width < 1 || height < 1 || 40 + qint64(width) * height * 4 != size)
        return {};
    const QImage bottomUp(dib + 40, width, height, width * 4, QImage::Format_RGB32);
    return bottomUp.mirrored(false, true);
}

} // namespace quello::test
