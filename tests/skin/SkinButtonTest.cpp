// Skin buttons: the look of each state is pinned by reference images of a button made from
// the real artwork and from a test strip whose nine pieces all differ; the tables check which
// image each mouse step shows, what reaches the parent and which borders are refused.
#include "skin/CMemPaintDC.h"
#include "skin/CSkinButton.h"
#include "skin/SkinBitmaps.h"
#include "skin/SkinButtonEvent.h"
#include "tests/support/ReferenceImage.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
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
        QPalette pal = button->palette();
        pal.setColor(QPalette::Button, QColor(10, 20, 30));
        button->setPalette(pal);
        parent.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&parent));
    }
    QImage Shot() const { return button->grab().toImage(); }
    QRgb Centre() const {
        const QImage shot = Shot();
        return shot.pixel(shot.width() / 2, shot.height() / 2) | 0xFF000000;
    }
};

TEST(SkinButton, LooksLikeItsReference) {
    using Step = std::function<void(CSkinButton*)>;
    const auto nothing = [](CSkinButton*) {};
    const struct {
        const char* name;
        QSize size;
        bool artwork; // the play button's own bitmap, else the nine-piece strip
        Step step;
    } scenes[] = {
        {"button-play", {40, 30}, true, nothing},
        {"button-play-hover",
         {40, 30},
         true,
         [](CSkinButton* b) { QTest::mouseMove(b, QPoint(20, 15)); }},
        {"button-nine-piece-30x16", {30, 16}, false, nothing},
        {"button-nine-piece-7x25", {7, 25}, false, nothing},
        {"button-focused", {60, 24}, false, [](CSkinButton* b) { b->setFocus(); }},
        {"button-disabled", {60, 24}, false, [](CSkinButton* b) { b->setEnabled(false); }},
        // Pushed from the keyboard: frame 1 over frame 2, the text two or three pixels right.
        {"button-key-pushed",
         {60, 24},
         false,
         [](CSkinButton* b) {
             b->setText("II"), b->setFocus(), QTest::keyPress(b, Qt::Key_Space);
         }},
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

TEST(SkinButton, RejectsBordersThatDoNotFit) {
    const struct {
        QSize button;
        int t, b, l, r, frames;
        bool ok;
    } cases[] = {
        {{20, 20}, 4, 4, 4, 4, 4, true},   {{20, 20}, 0, 0, 0, 0, 4, true}, // all stretched
        {{20, 20}, 12, 4, 4, 4, 4, false}, // taller than the 10-pixel frame
        {{3, 20}, 4, 4, 4, 4, 4, false},   // corners wider than the button
        {{6, 20}, 4, 4, 4, 4, 4, true},    // corners overlap but fit
        {{20, 20}, -1, 4, 4, 4, 4, false}, {{20, 20}, 1, 1, 1, 1, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.t << " " << c.l << " " << c.frames << " frames on " << c.button.width());
        Fixture f(c.button);
        EXPECT_EQ(f.button->LoadSkinImage(SolidStrip(10, 10), c.frames, c.t, c.b, c.l, c.r), c.ok);
        EXPECT_EQ(f.button->isSkinned(), c.ok);
    }
    Fixture f;
    EXPECT_FALSE(f.button->LoadSkin(9999, 4, 4, 4, 4, 4)) << "unknown bitmap";
    // A strip of two frames builds images 0 and 1, then stops at image 3; the button still
    // counts as skinned and shows image 0.
    EXPECT_FALSE(f.button->LoadSkinImage(SolidStrip(10, 10, 2), 2, 2, 2, 2, 2));
    EXPECT_TRUE(f.button->isSkinned());
    f.button->clearFocus();
    EXPECT_EQ(f.Centre(), kFrameColour[0]);
}

// Mouse handling: which image stays on screen after each step, and what the parent receives
// (nothing for the right button). The edge rows and columns count as outside.
TEST(SkinButton, MouseStepsShowTheirImagesAndPostEvents) {
    Fixture f({40, 20}, 1028);
    ASSERT_TRUE(f.button->LoadSkinImage(SolidStrip(40, 20), 4, 4, 4, 4, 4));
    QSignalSpy clicked(f.button, &QAbstractButton::clicked);
    f.button->setFocusPolicy(Qt::NoFocus); // pure mouse path, no focus image
    f.button->clearFocus();
    const struct {
        const char* what;
        std::function<void(QWidget*)> act;
        int image;
    } steps[] = {
        {"initial", [](QWidget*) {}, 0},
        {"move inside", [](QWidget* b) { QTest::mouseMove(b, QPoint(20, 10)); }, 1},
        {"move to left column", [](QWidget* b) { QTest::mouseMove(b, QPoint(0, 10)); }, 0},
        {"move inside again", [](QWidget* b) { QTest::mouseMove(b, QPoint(1, 1)); }, 1},
        {"move to bottom row", [](QWidget* b) { QTest::mouseMove(b, QPoint(20, 19)); }, 0},
        {"move to right column", [](QWidget* b) { QTest::mouseMove(b, QPoint(39, 5)); }, 0},
        {"press",
         [](QWidget* b) {
             QTest::mousePress(b, Qt::LeftButton, {}, {20, 10});
         },
         2},
        {"release",
         [](QWidget* b) {
             QTest::mouseRelease(b, Qt::LeftButton, {}, {20, 10});
         },
         3},
        {"move after release", [](QWidget* b) { QTest::mouseMove(b, QPoint(21, 10)); }, 1},
        {"right click",
         [](QWidget* b) {
             QTest::mouseClick(b, Qt::RightButton, {}, {21, 10});
         },
         1},
    };
    for (const auto& s : steps) {
        s.act(f.button);
        EXPECT_EQ(f.Centre(), kFrameColour[s.image]) << s.what;
    }
    QCoreApplication::sendPostedEvents(&f.parent);
    const std::vector<std::pair<int, int>> expected{{15000, 1028}, {15001, 1028}};
    EXPECT_EQ(f.parent.seen, expected);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(f.button->objectName(), QStringLiteral("ctl1028"));
}

// The off-screen painter reaches its target in one copy, when it closes, filled first with
// the button face.
TEST(SkinButton, PainterReachesTheTargetOnlyWhenClosed) {
    QImage target(30, 20, QImage::Format_RGB32);
    target.fill(qRgb(9, 9, 9));
    {
        CMemPaintDC dc(&target, QRect(0, 0, 20, 10), QColor(200, 200, 200));
        dc->fillRect(QRect(5, 5, 3, 3), QColor(255, 0, 0));
        EXPECT_EQ(target.pixel(6, 6), qRgb(9, 9, 9)) << "nothing drawn yet";
    }
    EXPECT_EQ(target.pixel(6, 6), qRgb(255, 0, 0));
    EXPECT_EQ(target.pixel(19, 9), qRgb(200, 200, 200));
    EXPECT_EQ(target.pixel(20, 9), qRgb(9, 9, 9));
}

} // namespace
} // namespace quello
