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

constexpr int kCentreY = 610 - 521; // the needle's centre, in panel pixels

// The panel in its place in a 1024 x 768 window.
struct Panel {
    QWidget window;
    CDashPanel* panel;
    Panel() {
        window.resize(1024, 768);
        panel = new CDashPanel(&window);
        panel->move(0, 521);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    QImage Shot() { return panel->grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

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

// The panel draws both instruments from its stored values, on a repaint as at first.
TEST(DashPanel, LooksLikeItsReference) {
    const struct {
        const char* name;
        int speed;
        double heading; // NaN: not set
    } scenes[] = {
        {"dash-panel-start", 0, std::nan("")},
        {"dash-panel-140-east", 140, 450},
        {"dash-panel-260-west", 260, -90},
        {"dash-panel-50-north", 50, 0}, // the compass needle upright
    };
    for (const auto& s : scenes) {
        Panel f;
        f.panel->DrawSpeedNeedle(s.speed);
        if (!std::isnan(s.heading))
            f.panel->DrawHeadingDial(s.heading);
        test::ExpectMatchesReference(f.Shot(), QUELLO_REFERENCE_DIR, s.name);
        f.panel->repaint();
        test::ExpectMatchesReference(f.Shot(), QUELLO_REFERENCE_DIR, s.name);
    }
}

// A speed outside 0..260 shows and is stored as 0.
TEST(DashPanel, SpeedNeedleAtTheEdgeValues) {
    const struct {
        int speed;
        QPoint end;
        int stored;
    } cases[] = {
        {0, {735, kCentreY + 38}, 0},     {260, {810, kCentreY + 24}, 260},
        {-1, {735, kCentreY + 38}, 0},    {261, {735, kCentreY + 38}, 0},
        {140, {767, kCentreY - 49}, 140}, {50, {718, kCentreY}, 50},
    };
    Panel f;
    EXPECT_EQ(f.panel->lastSpeed(), 0);
    for (const auto& c : cases) {
        EXPECT_EQ(SpeedNeedleEnd(ClampGaugeSpeed(c.speed), kCentreY), c.end) << c.speed;
        f.panel->DrawSpeedNeedle(c.speed);
        EXPECT_EQ(f.panel->lastSpeed(), c.stored) << c.speed;
    }
}

TEST(DashPanel, HeadingIsReducedToOneTurnAndStoredWhole) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr int kMax = std::numeric_limits<int>::max();
    const struct {
        double heading;
        int reduced, stored;
    } cases[] = {
        {0, 0, 0},       {180, 180, 180},   {450, 90, 450},         {-90, -90, -90},
        {270, 270, 270}, {-450, -90, -450}, {90.9, 90, 90},         {-0.5, 0, 0},
        {kNaN, 0, 0},    {1e12, 280, kMax}, {360e9 + 90, 90, kMax},
    };
    Panel f;
    EXPECT_EQ(f.panel->lastHeading(), 180);
    for (const auto& c : cases) {
        EXPECT_EQ(ReduceHeading(c.heading), c.reduced) << c.heading;
        EXPECT_EQ(StoredHeading(c.heading), c.stored) << c.heading;
        f.panel->DrawHeadingDial(c.heading);
        EXPECT_EQ(f.panel->lastHeading(), c.stored) << c.heading;
    }
}

TEST(DialogUnits, TemplateControlsLandOnTheirPixels) {
    const struct {
        const char* control;
        int x, y, w, h;
        QRect pixels;
    } cases[] = {
        {"video 1000", 10, 22, 365, 273, QRect(18, 39, 638, 477)},
        {"library 1021", 387, 49, 187, 94, QRect(677, 86, 328, 164)},
        {"waveform 1024", 9, 314, 367, 81, QRect(16, 550, 642, 141)},
        {"map host 1025", 387, 150, 187, 145, QRect(677, 263, 328, 253)},
        {"title text 1054", 19, 3, 36, 8, QRect(33, 5, 63, 14)},
        {"speed text 1059", 469, 395, 34, 8, QRect(821, 691, 59, 14)},
        {"Recycle 1041", 464, 27, 43, 9, QRect(812, 47, 75, 16)},
        // Off the 1024 x 768 window, as on the original screen.
        {"step 1003", 0, 453, 15, 14, QRect(0, 793, 26, 24)},
        {"add 1022", 585, 25, 13, 12, QRect(1024, 44, 23, 21)},
        {"origin", 0, 0, 0, 0, QRect(0, 0, 0, 0)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DialogUnitsToPixels(c.x, c.y, c.w, c.h), c.pixels) << c.control;
    // Converting edges, not sizes, keeps abutting controls abutting whatever the rounding.
    for (int x = 0; x < 600; ++x) {
        const QRect a = DialogUnitsToPixels(x, x, 13, 13),
                    b = DialogUnitsToPixels(x + 13, x + 13, 7, 7);
        ASSERT_EQ(a.bottomRight() + QPoint(1, 1), b.topLeft()) << x;
    }
}

} // namespace
} // namespace quello
