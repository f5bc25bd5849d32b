// The waveform strip at its size on the main window (642 x 142: plot L=20, T=14, R=642,
// B=128), rendered offscreen. What it looks like is pinned by reference images; the tables
// below check what the strip decides: which value the read-outs show, where the cursor and a
// click land, what loading does to the view.
#include "views/CMyWaveForm.h"
#include "tests/support/ReferenceImage.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace quello {
namespace {

constexpr int kW = 642, kH = 142;
constexpr int L = 20, T = 14, R = 642, B = 128;
const QRgb kCursor = qRgb(0, 255, 0);
const QRgb kSpeed = qRgb(255, 255, 0);

std::vector<GSensorSample> Constant(int count, int x, int y = 10, int z = 10) {
    return std::vector<GSensorSample>(count, GSensorSample{x, y, z});
}

struct Strip {
    CMyWaveForm w;
    // Shown, so that grabbing goes through the widget's own cached images (a hidden widget
    // gets a fresh resize event with every grab, which rebuilds everything).
    Strip() {
        w.resize(kW, kH);
        w.show();
    }
    QImage screen() { return w.grab().toImage().convertToFormat(QImage::Format_RGB32); }
    QImage readouts() { return screen().copy(L, B, R - L, kH - B); }
    QImage xReadout() { return screen().copy(L + 20, B, 80, kH - B); }
    QImage printed() {
        QImage img(w.size(), QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        EXPECT_TRUE(w.DrawAll(&p));
        return img;
    }
};

// A drive of 60 s from 23:59:30: the time labels do not wrap at midnight.
void LoadDrive(CMyWaveForm& w, int samples = 600) {
    static std::vector<GSensorSample> g(600);
    static std::vector<std::int32_t> speeds(60);
    for (int i = 0; i < 600; ++i)
        g[i] = GSensorSample{(i * 37) % 4000 - 2000, (i * 11) % 3000 - 1500, 1000};
    for (int i = 0; i < 60; ++i)
        speeds[i] = i * 2;
    w.SetGSensorData(g.data(), samples);
    w.SetSpeedData(speeds.data(), 60);
    w.SetAxisSeconds(86370, 86430);
    w.SetTotalSeconds(60);
    w.SetCurrentSecond(5);
}

TEST(CMyWaveForm, LooksLikeItsReference) {
    const std::vector<std::pair<const char*, std::function<void(CMyWaveForm&)>>> scenes = {
        {"waveform-empty", [](CMyWaveForm&) {}},
        {"waveform-g-view", [](CMyWaveForm& w) { LoadDrive(w), w.SetCursor(123); }},
        {"waveform-speed-view",
         [](CMyWaveForm& w) { LoadDrive(w), w.ToggleSpeedView(), w.SetCursor(455); }},
        // One sample draws no curve, only its read-outs.
        {"waveform-one-sample", [](CMyWaveForm& w) { LoadDrive(w, 1); }},
    };
    for (const auto& [name, setUp] : scenes) {
        Strip s;
        setUp(s.w);
        test::ExpectMatchesReference(s.screen(), QUELLO_REFERENCE_DIR, name);
    }
}

// Speeds come one a second, samples ten: the speed read-outs show the fix of the second before
// the cursor's, and disappear once that second has no fix.
TEST(CMyWaveForm, SpeedReadoutsShowTheFixOfTheCursorsSecond) {
    const auto samples = Constant(40, 250);
    const std::int32_t speeds[] = {100, 161, 7};
    const struct {
        int cursor, sameAs; // same read-outs as with the cursor at sameAs; -1: none to compare
        bool differsFromZero, speedShown;
    } cases[] = {{0, -1, false, true}, {7, 0, false, true},  {10, 0, false, true},
                 {20, -1, true, true}, {25, 20, true, true}, {30, -1, true, false}};
    Strip s;
    s.w.SetGSensorData(samples.data(), 40);
    s.w.SetSpeedData(speeds, 3);
    s.w.SetCursor(0);
    const QImage atZero = s.readouts();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cursor);
        QImage expected;
        if (c.sameAs >= 0) {
            s.w.SetCursor(c.sameAs);
            expected = s.readouts();
        }
        s.w.SetCursor(c.cursor);
        const QImage seen = s.readouts();
        if (!expected.isNull()) {
            EXPECT_EQ(seen, expected);
        }
        EXPECT_EQ(seen != atZero, c.differsFromZero);
        int speedPixels = 0;
        for (int y = 0; y < seen.height(); ++y)
            for (int x = 0; x < seen.width(); ++x)
                speedPixels += seen.pixel(x, y) == kSpeed;
        EXPECT_EQ(speedPixels > 0, c.speedShown);
    }
}

// A shorter recording leaves the longer one's values behind its last sample; the slot past
// 3000 and a cleared strip read zeros.
TEST(CMyWaveForm, ReadoutsPastTheLoadedSamplesShowLeftoversOrZeros) {
    const auto longSet = Constant(3000, 1500), shortSet = Constant(100, -250);
    Strip empty, longOnly, shortOnly, s;
    empty.w.SetCursor(0);
    longOnly.w.SetGSensorData(longSet.data(), 3000);
    longOnly.w.SetCursor(50);
    shortOnly.w.SetGSensorData(shortSet.data(), 100);
    shortOnly.w.SetCursor(50);

    s.w.SetGSensorData(longSet.data(), 3000);
    s.w.SetCursor(3000);
    EXPECT_EQ(s.w.cursorIndex(), 3000);
    EXPECT_EQ(s.xReadout(), empty.xReadout());
    s.w.SetGSensorData(shortSet.data(), 100);
    s.w.SetCursor(100);
    EXPECT_EQ(s.xReadout(), longOnly.xReadout());
    s.w.SetCursor(99);
    EXPECT_EQ(s.xReadout(), shortOnly.xReadout());
    s.w.ClearData();
    s.w.SetCursor(0);
    EXPECT_EQ(s.xReadout(), empty.xReadout());
}

TEST(CMyWaveForm, CursorColumn) {
    const auto five = Constant(5, 10), many = Constant(300, 10); // 622 / 4 = 155.5 px a step
    const std::int32_t speeds[] = {60, 60, 60, 60, 60};
    const struct {
        const char* name;
        const std::vector<GSensorSample>* samples;
        bool speedView;
        int cursor, expectedX;
    } cases[] = {
        {"G view at 0", &five, false, 0, L},
        {"G view at 3", &five, false, 3, L + 466},
        {"G view at the count: off the strip", &five, false, 5, L + 777},
        {"speed view tenths to seconds", &many, true, 39, L + 466},
        {"speed view at 0", &many, true, 9, L},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Strip s;
        s.w.SetGSensorData(c.samples->data(), int(c.samples->size()));
        s.w.SetSpeedData(speeds, 5);
        if (c.speedView)
            s.w.ToggleSpeedView();
        s.w.SetCursor(c.cursor);
        const QImage img = s.screen();
        int columns = 0;
        for (int x = L + 1; x < kW; ++x)
            columns += img.pixel(x, T + 2) == kCursor; // above every curve
        EXPECT_EQ(columns, c.expectedX > L && c.expectedX < kW ? 1 : 0);
        if (c.expectedX < kW) {
            EXPECT_EQ(img.pixel(c.expectedX, T), kCursor);
            EXPECT_EQ(img.pixel(c.expectedX, B - 1), kCursor);
            EXPECT_NE(img.pixel(c.expectedX, B), kCursor) << "end point excluded";
        }
    }
}

TEST(CMyWaveForm, LoadingDecidesTheViewAndTheCounts) {
    const auto zeros = Constant(30, 0, 0, 0), real = Constant(30, 20, -30, 1000);
    const auto cancelling = Constant(30, 500, -500, 0); // sums to zero, is not zero
    Strip s;
    const auto expect = [&](const char* step, bool speedView, int count) {
        EXPECT_EQ(s.w.isSpeedView(), speedView) << step;
        EXPECT_EQ(s.w.sampleCount(), count) << step;
    };
    s.w.SetGSensorData(real.data(), 30);
    expect("real data keep the G view", false, 30);
    s.w.SetGSensorData(cancelling.data(), 30);
    expect("cancelling axes keep the G view", false, 30);
    s.w.SetGSensorData(zeros.data(), 30);
    expect("zero data force the speed view", true, 30);
    s.w.SetGSensorData(real.data(), 30);
    expect("the next recording stays in it", true, 30);
    s.w.ClearData();
    expect("clearing keeps the view", true, 0);
    s.w.SetGSensorData(real.data(), 30);
    s.w.ToggleSpeedView();
    expect("until the user toggles", false, 30);
    // Refused loads leave nothing loaded and the view alone.
    const std::pair<const GSensorSample*, int> refused[] = {
        {zeros.data(), 0}, {zeros.data(), 3001}, {zeros.data(), -5}, {nullptr, 30}};
    for (const auto& [samples, count] : refused) {
        s.w.SetGSensorData(real.data(), 30);
        s.w.SetGSensorData(samples, count);
        expect(samples ? "refused count" : "null samples", false, 0);
    }
    // Speed data take 1 to 3000 values; anything else leaves none.
    const std::vector<std::int32_t> speeds(3001, 50);
    for (const auto& [count, expected] :
         {std::pair{1, 1}, {3000, 3000}, {3001, 0}, {0, 0}, {-1, 0}}) {
        s.w.SetSpeedData(speeds.data(), 10);
        s.w.SetSpeedData(speeds.data(), count);
        EXPECT_EQ(s.w.speedCount(), expected) << "speed count " << count;
    }
}

// A left click stores the index under the pointer (-1 outside the plot) and notifies; a right
// click only notifies: the main window decides whether to toggle.
TEST(CMyWaveForm, ClicksMapThePlot) {
    const struct {
        const char* name;
        int sampleCount;
        bool speedView;
        Qt::MouseButton button;
        QPoint at;
        int expected;
    } cases[] = {
        {"left edge", 3000, false, Qt::LeftButton, {L, T}, 0},
        {"bottom edge is inside", 3000, false, Qt::LeftButton, {L, B}, 0},
        {"middle", 3000, false, Qt::LeftButton, {L + 311, 60}, 1499},
        {"last column", 3000, false, Qt::LeftButton, {R - 1, 60}, 2994},
        {"left of the plot", 3000, false, Qt::LeftButton, {L - 1, 60}, -1},
        {"above the plot", 3000, false, Qt::LeftButton, {100, T - 1}, -1},
        {"below the plot", 3000, false, Qt::LeftButton, {100, B + 1}, -1},
        {"speed view maps by samples too", 3000, true, Qt::LeftButton, {L + 311, 60}, 1499},
        {"two samples", 2, false, Qt::LeftButton, {R - 1, 60}, 0},
        {"five samples", 5, false, Qt::LeftButton, {L + 156, 60}, 1},
        {"no samples", 0, false, Qt::LeftButton, {R - 1, 60}, 0},
        {"right click keeps the index", 3000, false, Qt::RightButton, {100, 60}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Strip s;
        const auto samples = Constant(std::max(c.sampleCount, 1), 10);
        s.w.SetGSensorData(samples.data(), c.sampleCount);
        if (c.speedView)
            s.w.ToggleSpeedView();
        QSignalSpy left(&s.w, &CMyWaveForm::clicked), right(&s.w, &CMyWaveForm::rightClicked);
        QTest::mouseClick(&s.w, c.button, {}, c.at);
        EXPECT_EQ(s.w.clickedIndex(), c.expected);
        EXPECT_EQ(left.count(), c.button == Qt::LeftButton ? 1 : 0);
        EXPECT_EQ(right.count(), c.button == Qt::RightButton ? 1 : 0);
        EXPECT_EQ(s.w.isSpeedView(), c.speedView);
    }
}

// The cursor takes 0 to the sample count (other requests leave it where it was); its sample
// reads in g, and nothing at the count itself.
TEST(CMyWaveForm, CursorRangeAndItsSample) {
    std::vector<GSensorSample> samples = {{100, 200, 300}, {-1500, 0, 2000}};
    const struct {
        int request, cursor;
        float x, y, z; // -9: untouched
    } cases[] = {{0, 0, 0.1f, 0.2f, 0.3f},   {1, 1, -1.5f, 0.0f, 2.0f},
                 {2, 2, -9, -9, -9},         {3, 1, -1.5f, 0.0f, 2.0f},
                 {-1, 1, -1.5f, 0.0f, 2.0f}, {3000, 1, -1.5f, 0.0f, 2.0f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request);
        CMyWaveForm w;
        w.SetGSensorData(samples.data(), 2);
        w.SetCursor(1);
        w.SetCursor(c.request);
        EXPECT_EQ(w.cursorIndex(), c.cursor);
        float x = -9, y = -9, z = -9;
        w.GetCursorSample(x, y, z);
        EXPECT_FLOAT_EQ(x, c.x);
        EXPECT_FLOAT_EQ(y, c.y);
        EXPECT_FLOAT_EQ(z, c.z);
    }
}

// The screen comes from cached layers; after every kind of change it must still be exactly
// what a full drawing (the printed strip) produces.
TEST(CMyWaveForm, CachedScreenMatchesAFullDrawingAfterEveryChange) {
    const std::vector<std::int32_t> speeds(30, 40);
    const std::vector<std::pair<const char*, std::function<void(CMyWaveForm&)>>> changes = {
        {"cursor", [](CMyWaveForm& w) { w.SetCursor(123); }},
        {"cursor again", [](CMyWaveForm& w) { w.SetCursor(455); }},
        {"current second", [](CMyWaveForm& w) { w.SetCurrentSecond(45); }},
        {"total seconds", [](CMyWaveForm& w) { w.SetTotalSeconds(61); }},
        {"axis", [](CMyWaveForm& w) { w.SetAxisSeconds(3600, 3660); }},
        {"toggle", [](CMyWaveForm& w) { w.ToggleSpeedView(); }},
        {"cursor in speed view", [](CMyWaveForm& w) { w.SetCursor(300); }},
        {"new speeds", [&](CMyWaveForm& w) { w.SetSpeedData(speeds.data(), 30); }},
        {"resize", [](CMyWaveForm& w) { w.resize(500, 120); }},
        {"toggle back", [](CMyWaveForm& w) { w.ToggleSpeedView(); }},
        {"new samples", [](CMyWaveForm& w) { LoadDrive(w, 300); }},
        {"clear", [](CMyWaveForm& w) { w.ClearData(); }},
    };
    Strip s;
    LoadDrive(s.w);
    s.screen();
    for (const auto& [name, change] : changes) {
        change(s.w);
        EXPECT_EQ(s.screen(), s.printed()) << "after " << name;
    }
}

} // namespace
} // namespace quello
