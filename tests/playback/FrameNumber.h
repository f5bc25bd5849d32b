#pragma once

#include <QImage>
#include <QString>

namespace quello::test {

// Folder of the movies made by tests/support/make-test-media.
inline QString MediaPath(const char* name) {
    return QStringLiteral(QUELLO_TEST_MEDIA_DIR "/") + QString::fromUtf8(name);
}

// Reads the frame number that make-test-media paints into every frame (eight bars in the top
// half, most significant bit left, red bottom half). -1 when the picture is not such a frame
// or is upside down.
inline int FrameNumber(const QImage& picture) {
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    const int w = image.width(), h = image.height();
    const QColor bottom = image.isNull() ? QColor() : image.pixelColor(w / 2, h * 7 / 8);
    if (image.isNull() || bottom.red() < 160 || bottom.green() > 90 || bottom.blue() > 90)
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

} // namespace quello::test
