#pragma once

#include <QDir>
#include <QImage>
#include <QString>
#include <gtest/gtest.h>

namespace quello::test {

// Compares a drawing with its committed reference image `dir/name.png`: the same size, and no
// colour channel of any pixel further off than `tolerance`, which absorbs rounding in the
// raster engine but not a moved line or a changed colour. When a drawing is changed on
// purpose, scripts/remake-reference-images runs the image tests with
// QUELLO_REMAKE_REFERENCE_IMAGES=1, which rewrites the references instead of comparing. A
// mismatching drawing is saved as name.actual.png in the current folder for a look.
// GUI thread only.
inline void ExpectMatchesReference(const QImage& drawn, const QString& dir, const QString& name,
                                   int tolerance = 8) {
    const QImage image = drawn.convertToFormat(QImage::Format_RGB32);
    const QString path = QDir(dir).filePath(name + ".png");
    if (qgetenv("QUELLO_REMAKE_REFERENCE_IMAGES") == "1") {
        EXPECT_TRUE(image.save(path)) << path.toStdString();
        return;
    }
    const QImage reference = QImage(path).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(reference.isNull()) << "no reference image " << path.toStdString();
    const auto far = [tolerance](int a, int b) { return qAbs(a - b) > tolerance; };
    int off = 0;
    for (int y = 0; reference.size() == image.size() && y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb a = image.pixel(x, y), b = reference.pixel(x, y);
            off += far(qRed(a), qRed(b)) || far(qGreen(a), qGreen(b)) || far(qBlue(a), qBlue(b));
        }
    if (reference.size() != image.size() || off > 0) {
        image.save(name + ".actual.png");
        ADD_FAILURE() << name.toStdString() << ": " << off << " pixels differ from the reference"
                      << " (size " << image.width() << "x" << image.height() << ")";
    }
}

} // namespace quello::test
