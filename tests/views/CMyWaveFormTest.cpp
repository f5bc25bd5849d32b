// Pixel and state tests of the waveform strip, rendered offscreen at the strip's size on the
// main window (642 x 142): plot L=20, T=14, R=642, B=128, quarter q=28, middle row 71.
#include "CMyWaveForm.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

namespace quello {
namespace {

constexpr int kW = 642, kH = 142;
constexpr int L = 20, T = 14, R = 642, B = 128, Q = 28, MID = 71;

const QRgb kBackground = qRgb(10, 10, 10);
const QRgb kPlot = qRgb(0, 0, 0);
const QRgb kGrid = qRgb(0, 0, 255);
const QRgb kCursor = qRgb(0, 255, 0);
const QRgb kText = qRgb(247, 148, 28);
const QRgb kX = qRgb(255, 0, 0);
const QRgb kY = qRgb(0, 255, 0);
const QRgb kZ = qRgb(255, 0, 255);
const QRgb kSpeed = qRgb(255, 255, 0);

std::vector<GSensorSample> constantSamples(int count, int x, int y, int z) {
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
    QImage printed() {
        QImage img(w.size(), QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        EXPECT_TRUE(w.DrawAll(&p));
        return img;
    }
};

// Compares the box of `text` drawn with its top-left cell corner at (x, y): every glyph pixel
// must be `colour` and no other pixel of the box may be. Returns the number of mismatches.
int textMismatches(const QImage& img, const QFont& font, int x, int y, const QString& text,
                   QRgb colour) {
    const QFontMetrics fm(font);
    QImage mask(img.size(), QImage::Format_RGB32);
    mask.fill(Qt::black);
    {
        QPainter p(&mask);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(x, y + fm.ascent(), text);
    }
    int glyphPixels = 0, mismatches = 0;
    const int w = fm.horizontalAdvance(text);
    for (int yy = std::max(0, y); yy < std::min(img.height(), y + fm.height()); ++yy)
        for (int xx = std::max(0, x); xx < std::min(img.width(), x + w); ++xx) {
            const bool glyph = mask.pixel(xx, yy) == qRgb(255, 255, 255);
            glyphPixels += glyph;
            mismatches += glyph != (img.pixel(xx, yy) == colour);
        }
    return glyphPixels == 0 ? -1 : mismatches;
}

int countColour(const QImage& img, QRect box, QRgb colour) {
    int n = 0;
    box &= img.rect();
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            n += img.pixel(x, y) == colour;
    return n;
}

TEST(CMyWaveForm, EmptyStripShowsBackgroundPlotAndGrid) {
    Strip s;
    const QImage img = s.screen();
    struct Px {
        int x, y;
        QRgb colour;
    };
    const Px cases[] = {
        {5, 2, kBackground},          // outside the plot
        {L - 1, 60, kBackground},     // just left of the frame
        {300, 40, kPlot},             // plot interior
        {100, T, kGrid},              // top line
        {100, T + 2 * Q, kGrid},      // middle line
        {100, B, kGrid},              // bottom line
        {L, 60, kGrid},               // left line, no cursor before any data
        {L + (R - L) / 2, 60, kGrid}, // vertical middle line
        {L, T + Q, kGrid},            // dotted quarter lines: 3 on...
        {L + 2, T + Q, kGrid},
        {L + 3, T + Q, kPlot}, // ...3 off
        {L + 5, T + Q, kPlot},
        {L + 6, T + Q, kGrid},
        {L + 4, T + 3 * Q, kPlot},
        {L + 7, T + 3 * Q, kGrid},
        {300, B + 13, kBackground}, // below the plot, between read-outs
    };
    for (const Px& c : cases)
        EXPECT_EQ(img.pixel(c.x, c.y), c.colour) << "at " << c.x << "," << c.y;
}

TEST(CMyWaveForm, ScaleAndTimeLabelsOfBothViews) {
    struct Label {
        int x, y;
        const char* text;
    };
    const std::vector<Label> gLabels = {{L - 14, T, "+2"},
                                        {L - 14, T + Q - 8, "+1"},
                                        {L - 10, T + 2 * Q - 8, "0"},
                                        {L - 14, T + 3 * Q - 8, "-1"},
                                        {L - 14, T + 4 * Q - 16, "-2"},
                                        {L - 18, B, "(G)"}};
    const std::vector<Label> speedLabels = {{L - 20, T, "120"},
                                            {L - 14, T + Q - 8, "90"},
                                            {L - 14, T + 2 * Q - 8, "60"},
                                            {L - 14, T + 3 * Q - 8, "30"},
                                            {L - 8, T + 4 * Q - 16, "0"},
                                            {L - 18, B, "(Km/H)"}};
    for (bool speedView : {false, true}) {
        Strip s;
        // A recording from 23:59:30 lasting 60 s: the labels do not wrap at midnight.
        s.w.SetAxisSeconds(86370, 86430);
        s.w.SetTotalSeconds(60);
        s.w.SetCurrentSecond(5);
        if (speedView)
            s.w.ToggleSpeedView();
        const QImage img = s.screen();
        std::vector<Label> labels = speedView ? speedLabels : gLabels;
        labels.push_back({L, 0, "23:59:30"});
        labels.push_back({L + (R - L) / 2 - 20, 0, "24:00:00"});
        labels.push_back({R - 42, 0, "24:00:30"});
        labels.push_back({R - 96, B, "00:00:05/00:01:00"});
        for (const Label& l : labels)
            EXPECT_EQ(textMismatches(img, s.w.font(), l.x, l.y, l.text, kText), 0)
                << (speedView ? "speed" : "G") << " view label " << l.text;
    }
}

TEST(CMyWaveForm, ReadoutsFollowTheCursor) {
    // Ten samples a second, speeds one a second; the samples carry their index in x.
    std::vector<GSensorSample> samples(40);
    for (int i = 0; i < 40; ++i)
        samples[i] = GSensorSample{i * 25, -500, 1000};
    const std::int32_t speeds[] = {100, 161, 7};
    struct Case {
        const char* name;
        int sampleCount, speedCount, cursor;
        const char *x, *y, *z;
        std::optional<const char*> kmh, mph; // empty: speed read-outs absent
    };
    const Case cases[] = {
        {"no data", 0, 0, -1, "X: 0.0000", "Y: 0.0000", "Z: 0.0000", "0Km/H", "0MPH"},
        {"cursor 0 without speeds", 40, 0, 0, "X: 0.0000", "Y: -0.5000", "Z: 1.0000", "0Km/H",
         "0MPH"},
        {"cursor 0 shows fix 0", 40, 3, 0, "X: 0.0000", "Y: -0.5000", "Z: 1.0000", "100Km/H",
         "62MPH"},
        {"within second 0", 40, 3, 7, "X: 0.1750", "Y: -0.5000", "Z: 1.0000", "100Km/H", "62MPH"},
        {"second 1 shows fix 0", 40, 3, 10, "X: 0.2500", "Y: -0.5000", "Z: 1.0000", "100Km/H",
         "62MPH"},
        {"second 2 shows fix 1", 40, 3, 20, "X: 0.5000", "Y: -0.5000", "Z: 1.0000", "161Km/H",
         "100MPH"},
        {"second 2.5 shows fix 1", 40, 3, 25, "X: 0.6250", "Y: -0.5000", "Z: 1.0000", "161Km/H",
         "100MPH"},
        {"second 3 = speed count: hidden", 40, 3, 30, "X: 0.7500", "Y: -0.5000", "Z: 1.0000",
         std::nullopt, std::nullopt},
        {"cursor at sample count", 12, 3, 12, "X: 0.0000", "Y: 0.0000", "Z: 0.0000", "100Km/H",
         "62MPH"},
    };
    for (const Case& c : cases) {
        Strip s;
        if (c.sampleCount > 0)
            s.w.SetGSensorData(samples.data(), c.sampleCount);
        if (c.speedCount > 0)
            s.w.SetSpeedData(speeds, c.speedCount);
        s.w.SetCursor(c.cursor);
        ASSERT_EQ(s.w.cursorIndex(), c.cursor) << c.name;
        const QImage img = s.screen();
        const QFont& f = s.w.font();
        EXPECT_EQ(textMismatches(img, f, L + 20, B, c.x, kX), 0) << c.name;
        EXPECT_EQ(textMismatches(img, f, L + 100, B, c.y, kY), 0) << c.name;
        EXPECT_EQ(textMismatches(img, f, L + 180, B, c.z, kZ), 0) << c.name;
        if (c.kmh) {
            EXPECT_EQ(textMismatches(img, f, L + 260, B, *c.kmh, kSpeed), 0) << c.name;
            EXPECT_EQ(textMismatches(img, f, L + 340, B, *c.mph, kSpeed), 0) << c.name;
        } else {
            EXPECT_EQ(countColour(img, QRect(L + 260, B, 160, 14), kSpeed), 0) << c.name;
        }
    }
}

TEST(CMyWaveForm, ReadoutsPastTheLoadedSamplesShowLeftoversOrZeros) {
    Strip s;
    const auto longSet = constantSamples(3000, 1500, 0, 0);
    const auto shortSet = constantSamples(100, -250, 0, 0);
    const QFont& f = s.w.font();

    s.w.SetGSensorData(longSet.data(), 3000);
    s.w.SetCursor(3000); // one past the last sample: nothing stored there
    EXPECT_EQ(s.w.cursorIndex(), 3000);
    EXPECT_EQ(textMismatches(s.screen(), f, L + 20, B, "X: 0.0000", kX), 0);

    s.w.SetGSensorData(shortSet.data(), 100);
    s.w.SetCursor(100); // the longer set's value is still stored there
    EXPECT_EQ(textMismatches(s.screen(), f, L + 20, B, "X: 1.5000", kX), 0);
    s.w.SetCursor(99);
    EXPECT_EQ(textMismatches(s.screen(), f, L + 20, B, "X: -0.2500", kX), 0);

    s.w.ClearData();
    s.w.SetCursor(0);
    EXPECT_EQ(textMismatches(s.screen(), f, L + 20, B, "X: 0.0000", kX), 0);
}

TEST(CMyWaveForm, CurvePixels) {
    // +1 g, 0 g and -1 g land at 71 - 28.5 and 71 + 28.5, truncated toward zero; 60 km/h is half
    // the speed scale. The cursor at index 0 covers column L, so the checks start right of it.
    const auto gSet = constantSamples(3000, 1000, 0, -1000);
    const auto one = constantSamples(1, 1000, 0, -1000);
    const std::int32_t speeds[] = {60, 60, 60, 60};
    // Each row is checked near both ends of the plot and in its middle (columns where the dotted
    // quarter line has a gap).
    struct Case {
        const char* name;
        const std::vector<GSensorSample>* samples;
        int speedCount;
        bool speedView;
        std::vector<std::pair<int, QRgb>> rows;
    };
    const std::vector<std::pair<int, QRgb>> gRows = {
        {MID - 30, kPlot}, {MID - 29, kX}, {MID - 28, kPlot}, {MID, kY},
        {MID + 1, kPlot},  {MID + 28, kZ}, {MID + 29, kPlot}};
    const std::vector<std::pair<int, QRgb>> speedRows = {
        {MID - 29, kPlot}, {MID, kSpeed}, {MID + 1, kPlot}, {MID + 28, kPlot}};
    const Case cases[] = {
        {"G view", &gSet, 4, false, gRows},
        {"speed view", &gSet, 4, true, speedRows},
        {"one sample, G view", &one, 4, false, {{MID - 29, kPlot}, {MID, kPlot}}},
        {"one sample, speed view", &one, 4, true, {{MID, kPlot}}},
        {"speed view with one speed", &gSet, 1, true, {{MID, kPlot}, {MID - 29, kPlot}}},
        {"speed view without speeds", &gSet, 0, true, {{MID, kPlot}}},
    };
    for (const Case& c : cases) {
        Strip s;
        s.w.SetGSensorData(c.samples->data(), static_cast<int>(c.samples->size()));
        s.w.SetSpeedData(speeds, c.speedCount);
        if (c.speedView)
            s.w.ToggleSpeedView();
        const QImage img = s.screen();
        for (const auto& [y, colour] : c.rows)
            for (const int x : {L + 4, 300, R - 1})
                EXPECT_EQ(img.pixel(x, y), colour) << c.name << " at " << x << "," << y;
    }
}

TEST(CMyWaveForm, CursorColumn) {
    const auto samples = constantSamples(5, 10, 10, 10); // step 622 / 4 = 155.5 pixels
    const auto many = constantSamples(300, 10, 10, 10);
    const std::int32_t speeds[] = {60, 60, 60, 60, 60};
    struct Case {
        const char* name;
        const std::vector<GSensorSample>* samples;
        bool speedView;
        int cursor;
        int expectedX;
    };
    const Case cases[] = {
        {"G view at 0", &samples, false, 0, L},
        {"G view at 3", &samples, false, 3, L + 466},
        {"G view at the count", &samples, false, 5, L + 777 /* off the strip */},
        {"speed view tenths to seconds", &many, true, 39, L + 466},
        {"speed view at 0", &many, true, 9, L},
    };
    for (const Case& c : cases) {
        Strip s;
        s.w.SetGSensorData(c.samples->data(), static_cast<int>(c.samples->size()));
        s.w.SetSpeedData(speeds, 5);
        if (c.speedView)
            s.w.ToggleSpeedView();
        s.w.SetCursor(c.cursor);
        const QImage img = s.screen();
        int greenColumns = 0;
        for (int x = L + 1; x < kW; ++x)
            greenColumns += img.pixel(x, T + 2) == kCursor; // above every curve
        if (c.expectedX < kW) {
            EXPECT_EQ(img.pixel(c.expectedX, T), kCursor) << c.name;
            EXPECT_EQ(img.pixel(c.expectedX, B - 1), kCursor) << c.name;
            EXPECT_EQ(img.pixel(c.expectedX, B), kGrid) << c.name << ": end point excluded";
            EXPECT_EQ(greenColumns, c.expectedX > L ? 1 : 0) << c.name;
        } else {
            EXPECT_EQ(greenColumns, 0) << c.name;
        }
    }
}

TEST(CMyWaveForm, LoadingDecidesTheViewAndTheCounts) {
    const auto zeros = constantSamples(30, 0, 0, 0);
    const auto real = constantSamples(30, 20, -30, 1000);
    const auto cancelling = constantSamples(30, 500, -500, 0); // sums to zero, is not zero
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

TEST(CMyWaveForm, ClickedIndexMapsThePlot) {
    struct Case {
        const char* name;
        int sampleCount;
        bool speedView;
        QPoint at;
        int expected;
    };
    const Case cases[] = {
        {"left edge", 3000, false, {L, T}, 0},
        {"bottom edge is inside", 3000, false, {L, B}, 0},
        {"middle", 3000, false, {L + 311, 60}, 1499},
        {"last column", 3000, false, {R - 1, 60}, 2994},
        {"left of the plot", 3000, false, {L - 1, 60}, -1},
        {"above the plot", 3000, false, {100, T - 1}, -1},
        {"below the plot", 3000, false, {100, B + 1}, -1},
        {"speed view maps by samples too", 3000, true, {L + 311, 60}, 1499},
        {"two samples", 2, false, {R - 1, 60}, 0},
        {"five samples", 5, false, {L + 156, 60}, 1},
        {"one sample", 1, false, {R - 1, 60}, 0},
        {"no samples", 0, false, {R - 1, 60}, 0},
    };
    for (const Case& c : cases) {
        Strip s;
        const auto samples = constantSamples(std::max(c.sampleCount, 1), 10, 10, 10);
        s.w.SetGSensorData(samples.data(), c.sampleCount);
        if (c.speedView)
            s.w.ToggleSpeedView();
        QSignalSpy clicked(&s.w, &CMyWaveForm::clicked);
        QTest::mouseClick(&s.w, Qt::LeftButton, {}, c.at);
        EXPECT_EQ(s.w.clickedIndex(), c.expected) << c.name;
        EXPECT_EQ(clicked.count(), 1) << c.name;
    }
}

TEST(CMyWaveForm, RightClickOnlyNotifies) {
    Strip s;
    QSignalSpy right(&s.w, &CMyWaveForm::rightClicked);
    QTest::mouseClick(&s.w, Qt::RightButton, {}, QPoint(100, 60));
    EXPECT_EQ(right.count(), 1);
    EXPECT_FALSE(s.w.isSpeedView()) << "the main window toggles";
    EXPECT_EQ(s.w.clickedIndex(), -1);
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
        CMyWaveForm w;
        w.SetGSensorData(samples.data(), 2);
        w.SetCursor(1);
        w.SetCursor(c.request);
        EXPECT_EQ(w.cursorIndex(), c.cursor) << "request " << c.request;
        float x = -9, y = -9, z = -9;
        w.GetCursorSample(x, y, z);
        EXPECT_FLOAT_EQ(x, c.x) << "request " << c.request;
        EXPECT_FLOAT_EQ(y, c.y) << "request " << c.request;
        EXPECT_FLOAT_EQ(z, c.z) << "request " << c.request;
    }
}

// The screen comes from cached layers; after every kind of change it must still be exactly
// what a full drawing (the printed strip) produces.
TEST(CMyWaveForm, CachedScreenMatchesAFullDrawingAfterEveryChange) {
    std::vector<GSensorSample> samples(600);
    for (int i = 0; i < 600; ++i)
        samples[i] = GSensorSample{(i * 37) % 4000 - 2000, (i * 11) % 3000 - 1500, 1000};
    std::vector<std::int32_t> speeds(60);
    for (int i = 0; i < 60; ++i)
        speeds[i] = i * 2;
    const std::vector<std::pair<const char*, std::function<void(CMyWaveForm&)>>> changes = {
        {"cursor", [](CMyWaveForm& w) { w.SetCursor(123); }},
        {"cursor again", [](CMyWaveForm& w) { w.SetCursor(455); }},
        {"current second", [](CMyWaveForm& w) { w.SetCurrentSecond(45); }},
        {"total seconds", [](CMyWaveForm& w) { w.SetTotalSeconds(60); }},
        {"axis", [](CMyWaveForm& w) { w.SetAxisSeconds(3600, 3660); }},
        {"toggle", [](CMyWaveForm& w) { w.ToggleSpeedView(); }},
        {"cursor in speed view", [](CMyWaveForm& w) { w.SetCursor(300); }},
        {"new speeds", [&](CMyWaveForm& w) { w.SetSpeedData(speeds.data(), 30); }},
        {"resize", [](CMyWaveForm& w) { w.resize(500, 120); }},
        {"toggle back", [](CMyWaveForm& w) { w.ToggleSpeedView(); }},
        {"new samples", [&](CMyWaveForm& w) { w.SetGSensorData(samples.data(), 300); }},
        {"clear", [](CMyWaveForm& w) { w.ClearData(); }},
    };
    Strip s;
    s.w.SetGSensorData(samples.data(), 600);
    s.w.SetSpeedData(speeds.data(), 60);
    s.screen();
    for (const auto& [name, change] : changes) {
        change(s.w);
        EXPECT_EQ(s.screen(), s.printed()) << "after " << name;
    }
}

} // namespace
} // namespace quello
