// The dashboard gauges: their look is pinned by reference images of the panel; the tables
// check the rules behind them at the edge values.
#include "skin/CDashPanel.h"
#include "skin/GaugeGeometry.h"
#include "tests/support/ReferenceImage.h"

#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quello {
namespace {

constexpr QRgb kRed = 0xFFFF0000;
constexpr int kCentreY = 610 - 521; // the needle's centre, in panel pixels

// The panel in its place in a 1024 x 768 window.
struct Fixture {
    QWidget window;
    CDashPanel* panel;
    Fixture() {
        window.resize(1024, 768);
        panel = new CDashPanel(&window);
        panel->move(0, 521);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    QImage Shot() { return panel->grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

// The panel draws both instruments from its stored values on every paint.
TEST(DashPanel, LooksLikeItsReference) {
    const struct {
        const char* name;
        int speed;
        double heading; // NaN: not set
    } scenes[] = {
        {"dash-panel-start", 0, std::nan("")},
        {"dash-panel-140-east", 140, 450},
        {"dash-panel-260-west", 260, -90},
    };
    for (const auto& s : scenes) {
        Fixture f;
        f.panel->DrawSpeedNeedle(s.speed);
        if (!std::isnan(s.heading))
            f.panel->DrawHeadingDial(s.heading);
        test::ExpectMatchesReference(f.Shot(), QUELLO_REFERENCE_DIR, s.name);
        f.panel->repaint();
        test::ExpectMatchesReference(f.Shot(), QUELLO_REFERENCE_DIR, s.name);
    }
}

// A speed outside 0..260 shows and is stored as 0; the needle reaches its end point and stops.
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
    Fixture f;
    EXPECT_EQ(f.panel->lastSpeed(), 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.speed);
        EXPECT_EQ(SpeedNeedleEnd(ClampGaugeSpeed(c.speed), kCentreY), c.end);
        f.panel->DrawSpeedNeedle(c.speed);
        EXPECT_EQ(f.panel->lastSpeed(), c.stored);
        const QImage shot = f.Shot();
        EXPECT_EQ(shot.pixel(c.end), kRed);
        const QPointF along = QPointF(c.end - QPoint(767, kCentreY)) / 50.0;
        EXPECT_NE(shot.pixel((QPointF(c.end) + along * 3.0).toPoint()), kRed) << "past the tip";
    }
}

TEST(DashPanel, HeadingIsReducedToOneTurnAndStoredWhole) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double heading;
        int reduced, stored;
    } cases[] = {
        {0, 0, 0},
        {180, 180, 180},
        {450, 90, 450},
        {-90, -90, -90},
        {270, 270, 270},
        {-450, -90, -450},
        {90.9, 90, 90},
        {-0.5, 0, 0},
        {kNaN, 0, 0},
        {1e12, 280, std::numeric_limits<int>::max()},
        {360e9 + 90, 90, std::numeric_limits<int>::max()},
    };
    Fixture f;
    EXPECT_EQ(f.panel->lastHeading(), 180);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.heading);
        EXPECT_EQ(ReduceHeading(c.heading), c.reduced);
        EXPECT_EQ(StoredHeading(c.heading), c.stored);
        f.panel->DrawHeadingDial(c.heading);
        EXPECT_EQ(f.panel->lastHeading(), c.stored);
    }
}

// At 0 the needle stands upright in the middle of its square canvas, columns mirrored by the
// inverse mapping; pixels no needle pixel reaches are magenta, which the panel never shows.
TEST(DashPanel, CompassNeedleUprightAtZero) {
    QImage needle(14, 100, QImage::Format_RGB32);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 14; ++x)
            needle.setPixel(x, y, qRgb(10 + x * 15, y, 100));
    const QImage canvas = RotateCompassNeedle(needle, 0);
    ASSERT_EQ(canvas.size(), QSize(100, 100));
    for (int j = 0; j < 100; ++j)
        for (int i = 0; i < 100; ++i)
            ASSERT_EQ(canvas.pixel(i, j) | 0xFF000000,
                      (i >= 44 && i <= 57 ? needle.pixel(57 - i, j) : 0xFFFF00FF) | 0xFF000000)
                << i << "," << j;
}

} // namespace
} // namespace quello
