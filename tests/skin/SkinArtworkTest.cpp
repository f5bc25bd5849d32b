#include "skin/GaugeGeometry.h"
#include "skin/MainBackground.h"
#include "skin/SkinBitmaps.h"
#include "tests/support/ReferenceImage.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>

namespace quello {
namespace {

// Every bitmap of the skin, pixel for pixel; ids either side of the set load nothing.
TEST(SkinArtwork, LooksLikeItsReference) {
    EXPECT_TRUE(SkinBitmaps::Load(133).isNull());
    EXPECT_TRUE(SkinBitmaps::Load(154).isNull());
    for (int id = 134; id <= 153; ++id) {
        SCOPED_TRACE(id);
        test::ExpectMatchesReference(SkinBitmaps::Load(id), QUELLO_REFERENCE_DIR,
                                     QString("bitmap-%1").arg(id), 0);
    }
}

// The printed speed scale lies where the needle points: a long tick every 20 km/h reaches
// in to radius 45, the short ones between start at 50.
TEST(SkinArtwork, SpeedScaleMatchesTheNeedle) {
    const QImage panel = SkinBitmaps::Load(kBmpPanel);
    const QPoint centre(767, 89);
    for (int v = 0; v <= 260; v += 10) {
        const double a = (v + 130) * 3.14159265358979 / 180.0;
        const QPoint at(int(std::lround(centre.x() + 48 * std::cos(a))),
                        int(std::lround(centre.y() + 48 * std::sin(a))));
        const int grey = qGray(panel.pixel(at));
        if (v % 20 == 0)
            EXPECT_GT(grey, 140) << v << " km/h";
        else
            EXPECT_LT(grey, 80) << v << " km/h";
    }
    // The needle's tip at 0 and 260 km/h ends on the scale.
    for (int v : {0, 260}) {
        const QPoint tip = SpeedNeedleEnd(v, centre.y());
        EXPECT_LT((QPointF(tip - centre)).manhattanLength(), 75) << v;
    }
}

// The window background is bitmap 149 at (0, 24) and nothing else: the title band above and
// the panel below stay as they were.
TEST(MainBackground, LooksLikeItsReference) {
    QImage window(1024, 768, QImage::Format_RGB32);
    window.fill(qRgb(1, 2, 3));
    {
        QPainter p(&window);
        PaintMainBackground(p);
    }
    test::ExpectMatchesReference(window, QUELLO_REFERENCE_DIR, "main-background", 0);
}

} // namespace
} // namespace quello
