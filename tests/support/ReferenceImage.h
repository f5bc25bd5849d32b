#pragma once

#include <QDir>
#include <QImage>
#include <QString>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

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
    const char* remake = std::getenv("QUELLO_REMAKE_REFERENCE_IMAGES");
    if (remake && std::strcmp(remake, "1") == 0) {
        EXPECT_TRUE(image.save(path)) << path.toStdString();
        return;
    }
    const QImage reference = QImage(path).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(reference.isNull()) << "no reference image " << path.toStdString();
    int off = 0;
    QPoint first(-1, -1);
    if (reference.size() == image.size()) {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb a = image.pixel(x, y), b = reference.pixel(x, y);
                if (std::abs(qRed(a) - qRed(b)) > tolerance ||
                    std::abs(qGreen(a) - qGreen(b)) > tolerance ||
                    std::abs(qBlue(a) - qBlue(b)) > tolerance) {
                    if (off++ == 0)
                        first = {x, y};
                }
            }
    }
    if (reference.size() != image.size() || off > 0) {
        image.save(name + ".actual.png");
        ADD_FAILURE() << name.toStdString() << ": " << off << " pixels differ from the reference,"
                      << " first at " << first.x() << "," << first.y() << " (size " << image.width()
                      << "x" << image.height() << ")";
    }
}

} // namespace quello::test
