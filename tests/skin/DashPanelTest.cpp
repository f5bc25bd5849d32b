#include "CDashPanel.h"
#include "GaugeGeometry.h"
#include "SkinBitmaps.h"

#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quello {
namespace {

constexpr QRgb kMagenta = 0xFFFF00FF;
constexpr QRgb kRed = 0xFFFF0000;

// The panel in its place in a 1024 x 768 window: the needle's centre is at panel y 89.
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

TEST(SpeedNeedle, EndPointsAndStoredSpeed) {
    constexpr int c = 610 - 521;
    struct Case {
        int speed;
        QPoint end;
        int stored;
    } cases[] = {
        {0, {735, c + 38}, 0},     {261, {735, c + 38}, 0},   {-1, {735, c + 38}, 0},
        {140, {767, c - 49}, 140}, {260, {810, c + 24}, 260}, {50, {718, c}, 50},
    };
    Fixture f;
    for (const Case& k : cases) {
        EXPECT_EQ(SpeedNeedleEnd(ClampGaugeSpeed(k.speed), c), k.end) << k.speed;
        f.panel->DrawSpeedNeedle(k.speed);
        EXPECT_EQ(f.panel->lastSpeed(), k.stored) << k.speed;
        const QImage shot = f.Shot();
        EXPECT_EQ(shot.pixel(k.end), kRed) << "needle tip at " << k.speed;
        EXPECT_EQ(shot.pixel(767, c), kRed) << "needle root at " << k.speed;
        // Three pixels past the tip, along the needle, the dial shows again.
        const QPointF dir = QPointF(k.end - QPoint(767, c)) / 50.0;
        const QPoint beyond = (QPointF(k.end) + dir * 3.0).toPoint();
        EXPECT_NE(shot.pixel(beyond), kRed) << "past the tip at " << k.speed;
    }
}

// A 14 x 100 needle whose columns are all different and whose top ten rows (the tip) are
// marked green, so turns and mirroring show in the canvas.
QImage MarkedNeedle() {
    QImage needle(14, 100, QImage::Format_RGB32);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 14; ++x)
            needle.setPixel(x, y, y < 10 ? qRgb(0, 255, 0) : qRgb(10 + x * 15, y, 100));
    return needle;
}

// Where the tip's green pixels lie in the canvas.
QRect TipBounds(const QImage& canvas) {
    QRect box;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            if ((canvas.pixel(x, y) | 0xFF000000) == 0xFF00FF00)
                box |= QRect(x, y, 1, 1);
    return box;
}

TEST(CompassNeedle, UprightAtZeroWithColumnsMirrored) {
    const QImage needle = MarkedNeedle();
    const QImage canvas = RotateCompassNeedle(needle, 0);
    ASSERT_EQ(canvas.size(), QSize(100, 100));
    for (int j = 0; j < 100; ++j)
        for (int i = 0; i < 100; ++i) {
            const QRgb seen = canvas.pixel(i, j) | 0xFF000000;
            if (i >= 44 && i <= 57)
                ASSERT_EQ(seen, needle.pixel(57 - i, j) | 0xFF000000) << i << "," << j;
            else
                ASSERT_EQ(seen, kMagenta) << i << "," << j;
        }
}

TEST(CompassNeedle, TurnsClockwiseAndReducesToOneTurn) {
    const QImage needle = MarkedNeedle();
    struct Case {
        double heading;
        int reduced;
        int stored;
        QRect tipInside; // the tip lies inside this part of the canvas
    } cases[] = {
        {0, 0, 0, {40, 0, 20, 12}},         {90, 90, 90, {88, 40, 12, 20}},
        {180, 180, 180, {40, 88, 20, 12}},  {450, 90, 450, {88, 40, 12, 20}},
        {-90, -90, -90, {0, 40, 12, 20}},   {270, 270, 270, {0, 40, 12, 20}},
        {-450, -90, -450, {0, 40, 12, 20}}, {90.9, 90, 90, {88, 40, 12, 20}},
        {-0.5, 0, 0, {40, 0, 20, 12}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReduceHeading(c.heading), c.reduced) << c.heading;
        EXPECT_EQ(StoredHeading(c.heading), c.stored) << c.heading;
        const QImage canvas = RotateCompassNeedle(needle, ReduceHeading(c.heading));
        const QRect tip = TipBounds(canvas);
        ASSERT_FALSE(tip.isEmpty()) << c.heading;
        EXPECT_TRUE(c.tipInside.contains(tip))
            << c.heading << ": tip at " << tip.x() << "," << tip.y() << " " << tip.width() << "x"
            << tip.height();
        for (QPoint corner : {QPoint(0, 0), QPoint(99, 0), QPoint(0, 99), QPoint(99, 99)})
            EXPECT_EQ(canvas.pixel(corner) | 0xFF000000, kMagenta) << c.heading;
    }
}

TEST(CompassNeedle, OutOfRangeHeadingsAreSafe) {
    EXPECT_EQ(StoredHeading(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(ReduceHeading(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(StoredHeading(1e12), std::numeric_limits<int>::max());
    EXPECT_EQ(ReduceHeading(360e9 + 90), 90);
    EXPECT_EQ(ReduceHeading(-std::numeric_limits<double>::infinity()), 0);
}

// The panel draws both instruments from its stored values on every paint.
TEST(DashPanel, InstrumentsSurviveRepaints) {
    Fixture f;
    EXPECT_EQ(f.panel->lastSpeed(), 0);
    EXPECT_EQ(f.panel->lastHeading(), 180);
    f.panel->DrawSpeedNeedle(140);
    f.panel->DrawHeadingDial(450);
    EXPECT_EQ(f.panel->lastHeading(), 450);

    const QImage canvas = RotateCompassNeedle(SkinBitmaps::Load(kBmpCompassNeedle), 90);
    for (int pass = 0; pass < 2; ++pass) {
        f.panel->repaint();
        const QImage shot = f.Shot();
        EXPECT_EQ(shot.pixel(767, 89 - 49), kRed) << "pass " << pass;
        int needlePixels = 0;
        for (int j = 0; j < 100; ++j)
            for (int i = 0; i < 100; ++i) {
                const QRgb c = canvas.pixel(i, j) | 0xFF000000;
                if (c == kMagenta)
                    continue;
                ++needlePixels;
                ASSERT_EQ(shot.pixel(881 + i, 40 + j), c)
                    << "pass " << pass << " " << i << "," << j;
            }
        EXPECT_GT(needlePixels, 200);
        // Magenta never reaches the screen: the rose shows around the needle.
        EXPECT_NE(shot.pixel(881, 40), kMagenta);
    }
}

} // namespace
} // namespace quello
