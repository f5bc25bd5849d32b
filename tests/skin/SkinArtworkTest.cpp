#include "GaugeGeometry.h"
#include "MainBackground.h"
#include "SkinBitmaps.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>

namespace quello {
namespace {

constexpr QRgb kMagenta = 0xFFFF00FF;

bool HasColour(const QImage& image, QRgb colour) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) | 0xFF000000) == colour)
                return true;
    return false;
}

TEST(SkinArtwork, EveryBitmapHasItsSize) {
    struct Case {
        int id;
        QSize size;
    } cases[] = {
        {134, {164, 16}},  {135, {200, 20}},   {136, {200, 20}}, {137, {96, 16}},
        {138, {204, 24}},  {139, {164, 41}},   {140, {164, 41}}, {141, {204, 24}},
        {142, {100, 25}},  {143, {200, 52}},   {144, {200, 52}}, {145, {200, 52}},
        {146, {6, 9}},     {147, {128, 27}},   {148, {136, 27}}, {149, {1024, 497}},
        {150, {1024, 24}}, {151, {1024, 247}}, {152, {200, 52}}, {153, {14, 100}},
        {133, {0, 0}},     {154, {0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SkinBitmaps::Load(c.id).size(), c.size) << c.id;
}

// Strips and faces are opaque (a magenta pixel would show the button face); the
// compass needle is keyed in magenta, the thumb in white.
TEST(SkinArtwork, TransparentColoursOnlyWhereIntended) {
    for (int id = 134; id <= 152; ++id) {
        if (id == kBmpSliderThumb)
            continue;
        EXPECT_FALSE(HasColour(SkinBitmaps::Load(id), kMagenta)) << id;
    }
    const QImage needle = SkinBitmaps::Load(kBmpCompassNeedle);
    EXPECT_EQ(needle.pixel(0, 0) | 0xFF000000, kMagenta);
    EXPECT_EQ(needle.pixel(13, 99) | 0xFF000000, kMagenta);
    EXPECT_NE(needle.pixel(7, 50) | 0xFF000000, kMagenta) << "the pivot is part of the needle";
    EXPECT_NE(needle.pixel(7, 25) | 0xFF000000, kMagenta) << "the tip points up";
    EXPECT_EQ(needle.pixel(7, 5) | 0xFF000000, kMagenta);

    const QImage thumb = SkinBitmaps::Load(kBmpSliderThumb);
    EXPECT_EQ(thumb.pixel(0, 8) | 0xFF000000, 0xFFFFFFFFu);
    EXPECT_NE(thumb.pixel(2, 3) | 0xFF000000, 0xFFFFFFFFu);
}

// Each button strip shows four different states.
TEST(SkinArtwork, ButtonFramesDiffer) {
    for (int id : {134, 135, 136, 137, 138, 139, 140, 141, 142, 143, 144, 145, 147, 148, 152}) {
        const QImage strip = SkinBitmaps::Load(id);
        const int fw = strip.width() / 4;
        for (int a = 0; a < 4; ++a)
            for (int b = a + 1; b < 4; ++b)
                EXPECT_NE(strip.copy(a * fw, 0, fw, strip.height()),
                          strip.copy(b * fw, 0, fw, strip.height()))
                    << id << ": frames " << a << " and " << b;
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
TEST(MainBackground, PaintsOnlyTheFaceBetweenBandAndPanel) {
    const QRgb sentinel = qRgb(1, 2, 3);
    QImage window(1024, 768, QImage::Format_RGB32);
    window.fill(sentinel);
    {
        QPainter p(&window);
        PaintMainBackground(p);
    }
    const QImage face = SkinBitmaps::Load(kBmpBackground);
    struct Probe {
        QPoint at;
        bool painted;
    } probes[] = {{{0, 23}, false},   {{0, 24}, true},     {{1023, 24}, true},
                  {{512, 300}, true}, {{1023, 520}, true}, {{0, 521}, false}};
    for (const Probe& pr : probes) {
        const QRgb seen = window.pixel(pr.at);
        if (pr.painted)
            EXPECT_EQ(seen, face.pixel(pr.at - QPoint(0, 24))) << pr.at.x() << "," << pr.at.y();
        else
            EXPECT_EQ(seen, sentinel) << pr.at.x() << "," << pr.at.y();
    }
}

} // namespace
} // namespace quello
