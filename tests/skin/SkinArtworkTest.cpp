// The skin's artwork, the window background and the dashboard gauges, pinned by reference
// images; the tables check the rules behind the gauges at their edge values and where the
// window template's dialog units land.
#include "skin/CDashPanel.h"
#include "skin/DialogUnits.h"
#include "skin/GaugeGeometry.h"
#include "skin/MainBackground.h"
#include "skin/SkinBitmaps.h"
#include "tests/support/ReferenceImage.h"

#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quello {
namespace {

// Every bitmap of the skin, pixel for pixel; ids either side of the set load nothing. The
// window background is bitmap 149 at (0, 24) and nothing else.
TEST(SkinArtwork, LooksLikeItsReference) {
    EXPECT_TRUE(SkinBitmaps::Load(133).isNull());
    EXPECT_TRUE(SkinBitmaps::Load(154).isNull());
    for (int id = 134; id <= 153; ++id)
        test::ExpectMatchesReference(SkinBitmaps::Load(id), QUELLO_REFERENCE_DIR,
                                     QString("bitmap-%1").arg(id), 0);
    QImage window(1024, 768, QImage::Format_RGB32);
    window.fill(qRgb(1, 2, 3));
    QPainter p(&window);
    PaintMainBackground(p);
    p.end();
    test::ExpectMatchesReference(window, QUELLO_REFERENCE_DIR, "main-background", 0);
}

// The panel, in its place in a 1024 x 768 window, draws both instruments from its stored
// values, on a repaint as at first; a speed outside 0..260 shows and is stored as 0.
TEST(DashPanel, LooksLikeItsReference) {
    const struct {
        const char* name;
        int speed, stored;
        double heading; // NaN: not set
    } scenes[] = {
        {"dash-panel-start", 0, 0, std::nan("")},   {"dash-panel-start", -1, 0, std::nan("")},
        {"dash-panel-start", 261, 0, std::nan("")}, {"dash-panel-140-east", 140, 140, 450},
        {"dash-panel-260-west", 260, 260, -90},     {"dash-panel-50-north", 50, 50, 0},
    };
    for (const auto& s : scenes) {
        SCOPED_TRACE(s.speed);
        QWidget window;
        window.resize(1024, 768);
        auto* panel = new CDashPanel(&window);
        panel->move(0, 521);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        panel->DrawSpeedNeedle(s.speed);
        EXPECT_EQ(panel->lastSpeed(), s.stored);
        if (!std::isnan(s.heading))
            panel->DrawHeadingDial(s.heading);
        for (int paint = 0; paint < 2; ++paint, panel->repaint())
            test::ExpectMatchesReference(panel->grab().toImage(), QUELLO_REFERENCE_DIR, s.name);
    }
}

// A heading is cut to whole degrees: stored as it is (saturated, NaN as 0) and drawn reduced to
// one turn.
TEST(DashPanel, HeadingIsReducedToOneTurnAndStoredWhole) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr int kMax = std::numeric_limits<int>::max();
    const struct {
        double heading;
        int reduced, stored;
    } cases[] = {{450, 90, 450}, {-450, -90, -450}, {90.9, 90, 90},        {-0.5, 0, 0},
                 {kNaN, 0, 0},   {1e12, 280, kMax}, {360e9 + 90, 90, kMax}};
    for (const auto& c : cases) {
        EXPECT_EQ(ReduceHeading(c.heading), c.reduced) << c.heading;
        EXPECT_EQ(StoredHeading(c.heading), c.stored) << c.heading;
    }
}

// Dialog units become pixels at 7 per 4 across and 14 per 8 down (the video area here). Each
// edge is converted on its own, rounded half away from zero, so abutting controls stay abutting
// whatever the rounding.
TEST(DialogUnits, TemplateControlsLandOnTheirPixels) {
    EXPECT_EQ(DialogUnitsToPixels(10, 22, 365, 273), QRect(18, 39, 638, 477));
    for (int x = 0; x < 600; ++x) {
        const QRect a = DialogUnitsToPixels(x, x, 13, 13),
                    b = DialogUnitsToPixels(x + 13, x + 13, 7, 7);
        ASSERT_EQ(a.bottomRight() + QPoint(1, 1), b.topLeft()) << x;
    }
}

} // namespace
} // namespace quello
