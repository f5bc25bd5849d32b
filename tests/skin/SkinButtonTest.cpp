#include "CMemPaintDC.h"
#include "CSkinButton.h"
#include "SkinButtonEvent.h"

#include <QCoreApplication>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <vector>

namespace quello {
namespace {

const QRgb kFrameColour[4] = {qRgb(200, 0, 0), qRgb(0, 200, 0), qRgb(0, 0, 200), qRgb(200, 200, 0)};

// A strip of `frames` solid frames of fw x fh, frame k in kFrameColour[k].
QImage SolidStrip(int fw, int fh, int frames = 4) {
    QImage strip(fw * frames, fh, QImage::Format_RGB32);
    for (int k = 0; k < frames; ++k)
        for (int y = 0; y < fh; ++y)
            for (int x = 0; x < fw; ++x)
                strip.setPixel(k * fw + x, y, kFrameColour[k % 4]);
    return strip;
}

// Records the skin button events that reach it, in order.
class Recorder : public QWidget {
public:
    std::vector<std::pair<int, int>> seen; // (event type, control id)

protected:
    bool event(QEvent* e) override {
        if (e->type() == kSkinButtonPressed || e->type() == kSkinButtonReleased)
            seen.emplace_back(int(e->type()), static_cast<SkinButtonEvent*>(e)->controlId());
        return QWidget::event(e);
    }
};

struct Fixture {
    Recorder parent;
    CSkinButton* button;
    explicit Fixture(QSize size = {40, 20}, int id = 1001) {
        parent.resize(200, 100);
        button = new CSkinButton(id, &parent);
        button->setGeometry(QRect(QPoint(20, 20), size));
        parent.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&parent));
    }
    QRgb Centre() const {
        const QImage shot = button->grab().toImage();
        return shot.pixel(shot.width() / 2, shot.height() / 2) | 0xFF000000;
    }
};

// The off-screen painter reaches its target in one copy, when it closes, filled first with
// the button face.
TEST(MemPaintDC, ReachesTheTargetOnlyWhenClosed) {
    QImage target(30, 20, QImage::Format_RGB32);
    target.fill(qRgb(9, 9, 9));
    {
        CMemPaintDC dc(&target, QRect(0, 0, 20, 10), QColor(200, 200, 200));
        dc->fillRect(QRect(5, 5, 3, 3), QColor(255, 0, 0));
        EXPECT_EQ(target.pixel(0, 0), qRgb(9, 9, 9)) << "nothing drawn yet";
    }
    struct Probe {
        QPoint at;
        QRgb colour;
    } probes[] = {{{0, 0}, qRgb(200, 200, 200)},
                  {{6, 6}, qRgb(255, 0, 0)},
                  {{19, 9}, qRgb(200, 200, 200)},
                  {{20, 9}, qRgb(9, 9, 9)},
                  {{0, 10}, qRgb(9, 9, 9)}};
    for (const Probe& p : probes)
        EXPECT_EQ(target.pixel(p.at), p.colour) << p.at.x() << "," << p.at.y();
}

// The nine-piece build: corners keep their pixels, edges and centre stretch, and a frame
// count that does not divide the strip uses the integer quotient.
TEST(SkinButton, NinePieceBuildPlacesEveryPiece) {
    // Frame 0 of 10 x 10 with 2-pixel borders in nine colours.
    auto region = [](int v, int border, int size) {
        return v < border ? 0 : (v >= size - border ? 2 : 1);
    };
    auto colourOf = [](int col, int row) { return qRgb(20 + col * 80, 20 + row * 80, 77); };
    QImage strip(41, 10, QImage::Format_RGB32); // 4 frames of 10 plus one unused column
    strip.fill(qRgb(1, 2, 3));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            strip.setPixel(x, y, colourOf(region(x, 2, 10), region(y, 2, 10)));

    struct Case {
        QSize button;
    } cases[] = {{{10, 10}}, {{30, 16}}, {{7, 25}}};
    for (const Case& c : cases) {
        Fixture f(c.button);
        ASSERT_TRUE(f.button->LoadSkinImage(strip, 4, 2, 2, 2, 2));
        f.button->clearFocus();
        const QImage shot = f.button->grab().toImage();
        const int w = c.button.width(), h = c.button.height();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(shot.pixel(x, y) | 0xFF000000, colourOf(region(x, 2, w), region(y, 2, h)))
                    << "button " << w << "x" << h << " at " << x << "," << y;
    }
}

TEST(SkinButton, RejectsBordersThatDoNotFit) {
    struct Case {
        QSize button;
        int t, b, l, r;
        bool ok;
    } cases[] = {
        {{20, 20}, 4, 4, 4, 4, true},   {{20, 20}, 0, 0, 0, 0, true}, // all stretched
        {{20, 20}, 12, 4, 4, 4, false}, // taller than the 10-pixel frame
        {{3, 20}, 4, 4, 4, 4, false},   // corners wider than the button
        {{6, 20}, 4, 4, 4, 4, true},    // corners overlap but fit
        {{20, 20}, -1, 4, 4, 4, false},
    };
    for (const Case& c : cases) {
        Fixture f(c.button);
        EXPECT_EQ(f.button->LoadSkinImage(SolidStrip(10, 10), 4, c.t, c.b, c.l, c.r), c.ok)
            << c.t << " " << c.b << " " << c.l << " " << c.r << " on " << c.button.width();
        EXPECT_EQ(f.button->isSkinned(), c.ok);
    }
    Fixture f;
    EXPECT_FALSE(f.button->LoadSkin(9999, 4, 4, 4, 4, 4)) << "unknown bitmap";
    EXPECT_FALSE(f.button->LoadSkinImage(SolidStrip(10, 10), 0, 1, 1, 1, 1)) << "no frames";
    EXPECT_FALSE(f.button->isSkinned());
    // A strip of two frames builds images 0 and 1, then stops at image 3; the button still
    // counts as skinned and shows image 0.
    EXPECT_FALSE(f.button->LoadSkinImage(SolidStrip(10, 10, 2), 2, 2, 2, 2, 2));
    EXPECT_TRUE(f.button->isSkinned());
    f.button->clearFocus();
    EXPECT_EQ(f.Centre(), kFrameColour[0]);
}

TEST(SkinButton, MagentaShowsTheButtonFaceNotTheParent) {
    Fixture f;
    f.parent.setStyleSheet(QStringLiteral("Recorder { background: rgb(0, 90, 0); }"));
    QPalette pal = f.button->palette();
    pal.setColor(QPalette::Button, QColor(10, 20, 30));
    f.button->setPalette(pal);
    QImage strip = SolidStrip(40, 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 10; ++x)
            strip.setPixel(x, y, qRgb(255, 0, 255)); // left quarter of frame 0 is magenta
    ASSERT_TRUE(f.button->LoadSkinImage(strip, 4, 4, 4, 4, 4));
    f.button->clearFocus();
    const QImage shot = f.button->grab().toImage();
    EXPECT_EQ(shot.pixel(5, 10) | 0xFF000000, qRgb(10, 20, 30));
    EXPECT_EQ(shot.pixel(30, 10) | 0xFF000000, kFrameColour[0]);
}

// Mouse handling: which image stays on screen after each step, and what the parent receives
// (nothing for the right button).
TEST(SkinButton, MouseStepsShowTheirImagesAndPostEvents) {
    Fixture f({40, 20}, 1028);
    ASSERT_TRUE(f.button->LoadSkinImage(SolidStrip(40, 20), 4, 4, 4, 4, 4));
    QSignalSpy clicked(f.button, &QAbstractButton::clicked);
    f.button->setFocusPolicy(Qt::NoFocus); // pure mouse path, no focus image
    f.button->clearFocus();

    struct Step {
        const char* what;
        void (*act)(QWidget*);
        int image;
    } steps[] = {
        {"initial", [](QWidget*) {}, 0},
        {"move inside", [](QWidget* b) { QTest::mouseMove(b, QPoint(20, 10)); }, 1},
        {"move to left column", [](QWidget* b) { QTest::mouseMove(b, QPoint(0, 10)); }, 0},
        {"move inside again", [](QWidget* b) { QTest::mouseMove(b, QPoint(1, 1)); }, 1},
        {"move to bottom row", [](QWidget* b) { QTest::mouseMove(b, QPoint(20, 19)); }, 0},
        {"move to right column", [](QWidget* b) { QTest::mouseMove(b, QPoint(39, 5)); }, 0},
        {"press", [](QWidget* b) { QTest::mousePress(b, Qt::LeftButton, {}, QPoint(20, 10)); }, 2},
        {"release", [](QWidget* b) { QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(20, 10)); },
         3},
        {"move after release", [](QWidget* b) { QTest::mouseMove(b, QPoint(21, 10)); }, 1},
        {"right click",
         [](QWidget* b) {
             QTest::mouseClick(b, Qt::RightButton, {}, {21, 10});
         },
         1},
    };
    for (const Step& s : steps) {
        s.act(f.button);
        EXPECT_EQ(f.Centre(), kFrameColour[s.image]) << s.what;
    }
    QCoreApplication::sendPostedEvents(&f.parent);
    const std::vector<std::pair<int, int>> expected{{15000, 1028}, {15001, 1028}};
    EXPECT_EQ(f.parent.seen, expected);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(f.button->objectName(), QStringLiteral("ctl1028"));
}

// Owner draw from the button's own state: focus, keyboard push, disabled.
TEST(SkinButton, StateDrawingFollowsFocusPushAndEnabled) {
    Fixture f({60, 24});
    QImage strip = SolidStrip(60, 24);
    // Frame 1 is transparent on its left half, so "image 1 over image 2" shows both.
    for (int y = 0; y < 24; ++y)
        for (int x = 60; x < 90; ++x)
            strip.setPixel(x, y, qRgb(255, 0, 255));
    ASSERT_TRUE(f.button->LoadSkinImage(strip, 4, 4, 4, 4, 4));
    auto at = [&](int x) { return f.button->grab().toImage().pixel(x, 12) | 0xFF000000; };

    f.button->setFocus();
    ASSERT_TRUE(f.button->hasFocus());
    EXPECT_EQ(at(45), kFrameColour[2]) << "focused";

    QTest::keyPress(f.button, Qt::Key_Space);
    ASSERT_TRUE(f.button->isDown());
    EXPECT_EQ(at(10), kFrameColour[2]) << "pushed: image 2 under the transparent part";
    EXPECT_EQ(at(45), kFrameColour[1]) << "pushed: image 1 over it";
    QTest::keyRelease(f.button, Qt::Key_Space);

    f.button->clearFocus();
    f.button->setEnabled(false);
    EXPECT_EQ(at(45), kFrameColour[3]) << "disabled";
    f.button->setEnabled(true);
    EXPECT_EQ(at(45), kFrameColour[0]) << "normal";
}

// Pushed from the keyboard, the text rectangle loses its five left pixels: centred text moves
// half of that.
TEST(SkinButton, PushedTextRectangleStartsFivePixelsLater) {
    Fixture f({80, 24});
    QImage strip(320, 24, QImage::Format_RGB32);
    strip.fill(qRgb(255, 0, 255)); // fully transparent: only the face and the text remain
    ASSERT_TRUE(f.button->LoadSkinImage(strip, 4, 4, 4, 4, 4));
    f.button->setText(QStringLiteral("II"));
    QPalette pal = f.button->palette();
    pal.setColor(QPalette::Button, Qt::white);
    f.button->setPalette(pal);
    auto leftmostInk = [&] {
        const QImage shot = f.button->grab().toImage();
        for (int x = 0; x < shot.width(); ++x)
            for (int y = 0; y < shot.height(); ++y)
                if (qGray(shot.pixel(x, y)) < 128)
                    return x;
        return -1;
    };
    f.button->setFocus();
    const int up = leftmostInk();
    QTest::keyPress(f.button, Qt::Key_Space);
    const int down = leftmostInk();
    QTest::keyRelease(f.button, Qt::Key_Space);
    ASSERT_GE(up, 0);
    EXPECT_GE(down - up, 2);
    EXPECT_LE(down - up, 3);
}

} // namespace
} // namespace quello
