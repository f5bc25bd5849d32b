// The waveform strip at its size on the main window (642 x 142: plot L=20, T=14, R=642,
// B=128), rendered offscreen. What it draws (curves, cursor column, read-outs) is pinned by
// reference images; the tables check what the strip decides: where a click lands, where the
// cursor may go, what loading does to the view, and that its cached layers stay current.
#include "views/CMyWaveForm.h"
#include "tests/support/ReferenceImage.h"

#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace quello {
namespace {

constexpr int L = 20, T = 14, R = 642, B = 128;
using Change = std::function<void(CMyWaveForm&)>;

std::vector<GSensorSample> Constant(int count, int x, int y = 10, int z = 10) {
    return std::vector<GSensorSample>(count, GSensorSample{x, y, z});
}

// Shown, so that grabbing goes through the widget's own cached images (a hidden widget gets a
// fresh resize event with every grab, which rebuilds everything).
struct Strip {
    CMyWaveForm w;
    Strip() {
        w.resize(642, 142);
        w.show();
    }
    QImage Screen() { return w.grab().toImage().convertToFormat(QImage::Format_RGB32); }
    QImage Printed() {
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

// Speeds come one a second, samples ten a second.
Change Fixes(int cursor) {
    return [cursor](CMyWaveForm& w) {
        static const auto samples = Constant(40, 250);
        static const std::int32_t speeds[] = {100, 161, 7};
        w.SetGSensorData(samples.data(), 40);
        w.SetSpeedData(speeds, 3);
        w.SetCursor(cursor);
    };
}

// A load of 3000 samples, then optionally a shorter one, then the cursor.
Change LongThenShort(bool shorter, int cursor) {
    return [=](CMyWaveForm& w) {
        static const auto longSet = Constant(3000, 1500), shortSet = Constant(100, -250);
        w.SetGSensorData(longSet.data(), 3000);
        if (shorter)
            w.SetGSensorData(shortSet.data(), 100);
        w.SetCursor(cursor);
    };
}

TEST(CMyWaveForm, LooksLikeItsReference) {
    static const std::int32_t speeds[] = {60, 60, 60, 60, 60};
    static const auto five = Constant(5, 10), many = Constant(300, 10);
    const std::pair<const char*, Change> scenes[] = {
        {"waveform-empty", [](CMyWaveForm&) {}},
        {"waveform-g-view", [](CMyWaveForm& w) { LoadDrive(w), w.SetCursor(123); }},
        {"waveform-speed-view",
         [](CMyWaveForm& w) { LoadDrive(w), w.ToggleSpeedView(), w.SetCursor(455); }},
        {"waveform-one-sample", [](CMyWaveForm& w) { LoadDrive(w, 1); }}, // no curve
        // The speed read-outs show the fix of the second before the cursor's (the first
        // second's own), and none once that second has no fix.
        {"waveform-fix-0-at-sample-10", Fixes(10)},
        {"waveform-fix-1-at-sample-25", Fixes(25)},
        {"waveform-no-fix-at-sample-30", Fixes(30)},
        // A shorter load leaves the longer one's values behind its last sample; the slot at
        // 3000 reads zeros. The cursor column lies at the count: off the strip.
        {"waveform-leftovers-past-a-shorter-load", LongThenShort(true, 100)},
        {"waveform-zeros-at-3000", LongThenShort(false, 3000)},
        {"waveform-cursor-at-the-count",
         [](CMyWaveForm& w) { w.SetGSensorData(five.data(), 5), w.SetCursor(5); }},
        // In the speed view the cursor's tenths of a second map to the speed plot's seconds.
        {"waveform-speed-view-cursor-39",
         [](CMyWaveForm& w) {
             w.SetGSensorData(many.data(), 300), w.SetSpeedData(speeds, 5);
             w.ToggleSpeedView(), w.SetCursor(39);
         }},
    };
    for (const auto& [name, setUp] : scenes) {
        Strip s;
        setUp(s.w);
        test::ExpectMatchesReference(s.Screen(), QUELLO_REFERENCE_DIR, name);
    }
}

// A left click stores the index under the pointer (-1 outside the plot; its edges are inside;
// the window's own tests click along the plot); a right click only notifies: the main window
// decides whether to toggle.
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
        {"bottom edge", 3000, false, Qt::LeftButton, {L, B}, 0},
        {"above the plot", 3000, false, Qt::LeftButton, {100, T - 1}, -1},
        {"below the plot", 3000, false, Qt::LeftButton, {100, B + 1}, -1},
        {"speed view maps by samples too", 3000, true, Qt::LeftButton, {L + 311, 60}, 1499},
        {"no samples", 0, false, Qt::LeftButton, {R - 1, 60}, 0},
        {"right click keeps the index", 3000, false, Qt::RightButton, {100, 60}, 0},
    };
    for (const auto& c : cases) {
        Strip s;
        const auto samples = Constant(std::max(c.sampleCount, 1), 10);
        s.w.SetGSensorData(samples.data(), c.sampleCount);
        if (c.speedView)
            s.w.ToggleSpeedView();
        QTest::mouseClick(&s.w, c.button, {}, c.at);
        EXPECT_EQ(s.w.clickedIndex(), c.expected) << c.name;
        EXPECT_EQ(s.w.isSpeedView(), c.speedView) << c.name;
    }
}

// Every kind of change, in a row on one shown strip: loading decides the view (zero data show
// the speed curve until the user toggles) and the counts, and the screen, drawn from cached
// layers, stays exactly what a full drawing (the printed strip) produces.
TEST(CMyWaveForm, EveryChangeKeepsTheViewTheCountsAndTheScreenRight) {
    const auto zeros = Constant(30, 0, 0, 0), real = Constant(30, 20, -30, 1000);
    const auto cancelling = Constant(30, 500, -500, 0); // sums to zero, is not zero
    const std::vector<std::int32_t> speeds(3001, 40);
    const auto load = [](const std::vector<GSensorSample>& samples) -> Change {
        return [&samples](CMyWaveForm& w) { w.SetGSensorData(samples.data(), 30); };
    };
    const struct {
        const char* change;
        Change apply;
        bool speedView;
        int count;
    } steps[] = {
        {"cursor", [](CMyWaveForm& w) { w.SetCursor(123); }, false, 600},
        {"cursor again", [](CMyWaveForm& w) { w.SetCursor(455); }, false, 600},
        {"current second", [](CMyWaveForm& w) { w.SetCurrentSecond(45); }, false, 600},
        {"total seconds", [](CMyWaveForm& w) { w.SetTotalSeconds(61); }, false, 600},
        {"axis", [](CMyWaveForm& w) { w.SetAxisSeconds(3600, 3660); }, false, 600},
        {"toggle", [](CMyWaveForm& w) { w.ToggleSpeedView(); }, true, 600},
        {"cursor in speed view", [](CMyWaveForm& w) { w.SetCursor(300); }, true, 600},
        {"new speeds", [&](CMyWaveForm& w) { w.SetSpeedData(speeds.data(), 30); }, true, 600},
        {"resize", [](CMyWaveForm& w) { w.resize(500, 120); }, true, 600},
        {"toggle back", [](CMyWaveForm& w) { w.ToggleSpeedView(); }, false, 600},
        {"new samples", [](CMyWaveForm& w) { LoadDrive(w, 300); }, false, 300},
        {"clear", [](CMyWaveForm& w) { w.ClearData(); }, false, 0},
        {"real data", load(real), false, 30},
        {"cancelling axes", load(cancelling), false, 30},
        {"zero data", load(zeros), true, 30},
        {"the next recording", load(real), true, 30},
        {"clear in the speed view", [](CMyWaveForm& w) { w.ClearData(); }, true, 0},
        {"the user toggles", [](CMyWaveForm& w) { w.ToggleSpeedView(); }, false, 0},
    };
    Strip s;
    LoadDrive(s.w);
    s.Screen();
    for (const auto& c : steps) {
        c.apply(s.w);
        EXPECT_EQ(s.w.isSpeedView(), c.speedView) << "after " << c.change;
        EXPECT_EQ(s.w.sampleCount(), c.count) << "after " << c.change;
        EXPECT_EQ(s.Screen(), s.Printed()) << "after " << c.change;
    }
    // Loads of other than 1 to 3000 values are refused: nothing loaded, the view left alone.
    for (const auto& [samples, count] :
         {std::pair{zeros.data(), 0}, {zeros.data(), 3001}, {zeros.data(), -5}, {nullptr, 30}}) {
        s.w.SetGSensorData(real.data(), 30);
        s.w.SetGSensorData(samples, count);
        EXPECT_TRUE(!s.w.isSpeedView() && s.w.sampleCount() == 0) << count;
    }
    for (const auto& [count, expected] :
         {std::pair{1, 1}, {3000, 3000}, {3001, 0}, {0, 0}, {-1, 0}}) {
        s.w.SetSpeedData(speeds.data(), 10);
        s.w.SetSpeedData(speeds.data(), count);
        EXPECT_EQ(s.w.speedCount(), expected) << "speed count " << count;
    }
    // The cursor takes 0 to the sample count; other requests leave it where it was.
    s.w.SetGSensorData(real.data(), 2);
    for (const auto& [request, cursor] :
         {std::pair{1, 1}, {2, 2}, {3, 2}, {-1, 2}, {3000, 2}, {0, 0}}) {
        s.w.SetCursor(request);
        EXPECT_EQ(s.w.cursorIndex(), cursor) << request;
    }
}

} // namespace
} // namespace quello
