// Skin buttons and sliders: the look of each state is pinned by reference images (a button
// made from the real artwork and from a test strip whose nine pieces all differ); the tables
// check which image each mouse step shows, which borders are refused and where a slider's
// click or drag takes it.
#include "skin/CSkinButton.h"
#include "skin/CSkinSlider.h"
#include "skin/SkinBitmaps.h"
#include "tests/support/ReferenceImage.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>

namespace quello {
namespace {

const QRgb kFrameColour[4] = {qRgb(200, 0, 0), qRgb(0, 200, 0), qRgb(0, 0, 200), qRgb(200, 200, 0)};

// A strip of `frames` solid frames of fw x fh, frame k in kFrameColour[k].
QImage SolidStrip(int fw, int fh, int frames = 4) {
    QImage strip(fw * frames, fh, QImage::Format_RGB32);
    for (int k = 0; k < frames; ++k)
        QPainter(&strip).fillRect(k * fw, 0, fw, fh, QColor(kFrameColour[k]));
    return strip;
}

// Four 10 x 10 frames with 2-pixel borders in nine colours per frame, plus one unused column
// (the frame width is the integer quotient). Frame 0 has a magenta corner, which shows the
// button face; the left half of frame 1 is magenta, so a pushed button shows frame 2 there.
QImage NinePieceStrip() {
    QImage strip(41, 10, QImage::Format_RGB32);
    strip.fill(qRgb(1, 2, 3));
    const auto piece = [](int v) { return v < 2 ? 0 : (v >= 8 ? 2 : 1); };
    for (int k = 0; k < 4; ++k)
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x)
                strip.setPixel(k * 10 + x, y,
                               (k == 0 && x < 2 && y < 2) || (k == 1 && x < 5)
                                   ? qRgb(255, 0, 255)
                                   : qRgb(20 + piece(x) * 80, 20 + piece(y) * 80, 40 + k * 60));
    return strip;
}

// A button of `size` at (20, 20) in a shown parent, its face colour fixed, not focused.
struct Fixture {
    QWidget parent;
    CSkinButton* button = new CSkinButton(1001, &parent);
    explicit Fixture(QSize size = {40, 20}) {
        parent.resize(200, 100);
        button->setGeometry(QRect(QPoint(20, 20), size));
        QPalette pal = button->palette();
        pal.setColor(QPalette::Button, QColor(10, 20, 30));
        button->setPalette(pal);
        parent.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&parent));
    }
    QImage Shot() const { return button->grab().toImage(); }
    QRgb Centre() const {
        button->clearFocus();
        return Shot().pixel(button->width() / 2, button->height() / 2) | 0xFF000000;
    }
};

TEST(SkinButton, LooksLikeItsReference) {
    using Step = std::function<void(CSkinButton*)>;
    const Step nothing = [](CSkinButton*) {};
    const Step hover = [](CSkinButton* b) { QTest::mouseMove(b, QPoint(20, 15)); };
    const Step focus = [](CSkinButton* b) { b->setFocus(); };
    const Step disable = [](CSkinButton* b) { b->setEnabled(false); };
    // Pushed from the keyboard: frame 1 over frame 2, the text two or three pixels right.
    const Step keyPush = [](CSkinButton* b) {
        b->setText("II"), b->setFocus(), QTest::keyPress(b, Qt::Key_Space);
    };
    const struct {
        const char* name;
        Step step;
        QSize size;
        bool artwork; // the play button's own bitmap, else the nine-piece strip
    } scenes[] = {
        {"button-play", nothing, {40, 30}, true},
        {"button-play-hover", hover, {40, 30}, true},
        {"button-nine-piece-30x16", nothing, {30, 16}, false},
        {"button-nine-piece-7x25", nothing, {7, 25}, false},
        {"button-focused", focus, {60, 24}, false},
        {"button-disabled", disable, {60, 24}, false},
        {"button-key-pushed", keyPush, {60, 24}, false},
    };
    for (const auto& s : scenes) {
        SCOPED_TRACE(s.name);
        Fixture f(s.size);
        ASSERT_TRUE(s.artwork ? f.button->LoadSkin(kBmpPlay, 4, 4, 4, 4, 4)
                              : f.button->LoadSkinImage(NinePieceStrip(), 4, 2, 2, 2, 2));
        f.button->clearFocus();
        s.step(f.button);
        test::ExpectMatchesReference(f.Shot(), QUELLO_REFERENCE_DIR, s.name);
    }
}

// Borders that do not fit the frame or the button (corners may overlap) and a strip without
// frames are refused.
TEST(SkinButton, RejectsBordersThatDoNotFit) {
    const struct {
        QSize button;
        int t, b, l, r, frames;
        bool ok;
    } cases[] = {
        {{20, 20}, 4, 4, 4, 4, 4, true},   {{20, 20}, 0, 0, 0, 0, 4, true},
        {{20, 20}, 12, 4, 4, 4, 4, false}, {{3, 20}, 4, 4, 4, 4, 4, false},
        {{6, 20}, 4, 4, 4, 4, 4, true},    {{20, 20}, -1, 4, 4, 4, 4, false},
        {{20, 20}, 1, 1, 1, 1, 0, false},
    };
    for (const auto& c : cases) {
        Fixture f(c.button);
        EXPECT_EQ(f.button->LoadSkinImage(SolidStrip(10, 10), c.frames, c.t, c.b, c.l, c.r), c.ok)
            << &c - cases;
        EXPECT_EQ(f.button->isSkinned(), c.ok) << &c - cases;
    }
    // An unknown bitmap, and a strip too short for image 3.
    Fixture f;
    EXPECT_FALSE(f.button->LoadSkin(9999, 4, 4, 4, 4, 4));
    EXPECT_FALSE(f.button->LoadSkinImage(SolidStrip(10, 10, 2), 2, 2, 2, 2, 2));
}

// The image that stays on screen after each mouse step; the edge rows and columns count as
// outside, and the right button changes nothing.
TEST(SkinButton, MouseStepsShowTheirImages) {
    Fixture f;
    ASSERT_TRUE(f.button->LoadSkinImage(SolidStrip(40, 20), 4, 4, 4, 4, 4));
    f.button->setFocusPolicy(Qt::NoFocus); // pure mouse path, no focus image
    const struct {
        const char* what;
        QTest::MouseAction action;
        Qt::MouseButton button;
        QPoint at;
        int image;
    } steps[] = {
        {"move inside", QTest::MouseMove, Qt::NoButton, {20, 10}, 1},
        {"move to left column", QTest::MouseMove, Qt::NoButton, {0, 10}, 0},
        {"move inside again", QTest::MouseMove, Qt::NoButton, {1, 1}, 1},
        {"move to bottom row", QTest::MouseMove, Qt::NoButton, {20, 19}, 0},
        {"move to right column", QTest::MouseMove, Qt::NoButton, {39, 5}, 0},
        {"press", QTest::MousePress, Qt::LeftButton, {20, 10}, 2},
        {"release", QTest::MouseRelease, Qt::LeftButton, {20, 10}, 3},
        {"move after release", QTest::MouseMove, Qt::NoButton, {21, 10}, 1},
        {"right click", QTest::MouseClick, Qt::RightButton, {20, 10}, 1},
    };
    EXPECT_EQ(f.Centre(), kFrameColour[0]) << "initial";
    for (const auto& s : steps) {
        QTest::mouseEvent(s.action, f.button, s.button, {}, s.at);
        EXPECT_EQ(f.Centre(), kFrameColour[s.image]) << s.what;
    }
}

// The slider over a parent whose colour shows through everywhere but the channel and the thumb.
struct Slider {
    QWidget parent;
    CSkinSlider* slider = new CSkinSlider(&parent);
    Slider(int width, int min, int max, int value, int minimumPage = 1) {
        parent.resize(width + 40, 60);
        parent.setAutoFillBackground(true);
        QPalette pal = parent.palette();
        pal.setColor(QPalette::Window, QColor(30, 90, 30));
        parent.setPalette(pal);
        slider->setGeometry(20, 20, width, 20);
        slider->setRange(min, max);
        slider->setValue(value);
        slider->setPageStep(1);
        slider->SetMinimumPageSize(minimumPage);
        parent.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&parent));
    }
};

// The thumb is centred on its value; its white pixels are transparent.
TEST(SkinSlider, LooksLikeItsReference) {
    for (const int value : {0, 5, 10}) {
        Slider f(100, 0, 10, value);
        test::ExpectMatchesReference(f.parent.grab(f.slider->geometry()).toImage(),
                                     QUELLO_REFERENCE_DIR, QString("slider-value-%1").arg(value));
    }
}

// A left click on the channel sets the page step to the distance to the clicked value (at
// least the minimum) and the slider moves one page toward the click; the page step stays.
TEST(SkinSlider, ClickOnTheChannelJumpsToTheClickedValue) {
    const struct {
        const char* what;
        int width, min, max, value, minimumPage, clickX;
        int page, landsOn;
    } cases[] = {
        {"216-pixel example", 216, 0, 1000, 200, 1, 100, 300, 500},
        {"click left of the thumb", 216, 0, 1000, 800, 1, 50, 550, 250},
        {"distance 0 uses the minimum page", 154, 1, 5, 3, 2, 104, 2, 5},
        {"range minimum not added", 154, 1, 5, 1, 2, 138, 3, 4},
        {"past the end is clamped", 216, 0, 100, 50, 1, 215, 57, 100},
        {"too narrow for a channel", 16, 0, 10, 5, 1, 15, 1, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Slider f(c.width, c.min, c.max, c.value, c.minimumPage);
        QTest::mouseClick(f.slider, Qt::LeftButton, {}, QPoint(c.clickX, 10));
        EXPECT_EQ(f.slider->pageStep(), c.page);
        EXPECT_EQ(f.slider->value(), c.landsOn);
    }
}

// A press on the thumb does not jump; the drag follows the pointer and restores the minimum
// page, and the release is reported once.
TEST(SkinSlider, DraggingTheThumbRestoresTheMinimumPageAndReportsRelease) {
    Slider f(216, 0, 200, 100, 2);
    QSignalSpy released(f.slider, &CSkinSlider::released);
    QTest::mousePress(f.slider, Qt::LeftButton, {}, f.slider->thumbRect().center());
    EXPECT_EQ(f.slider->value(), 100);
    QTest::mouseMove(f.slider, QPoint(158, 10));
    EXPECT_EQ(f.slider->pageStep(), 2);
    EXPECT_EQ(f.slider->value(), 150); // 8 + 150 / 200 * 200 = 158
    EXPECT_EQ(released.count(), 0);
    QTest::mouseRelease(f.slider, Qt::LeftButton, {}, QPoint(158, 10));
    EXPECT_EQ(released.count(), 1);
}

} // namespace
} // namespace quello
