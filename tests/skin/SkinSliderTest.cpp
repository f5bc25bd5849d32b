#include "skin/CSkinSlider.h"
#include "tests/support/ReferenceImage.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace quello {
namespace {

const QRgb kParentColour = qRgb(30, 90, 30);

struct Fixture {
    QWidget parent;
    CSkinSlider* slider;
    Fixture(int width, int min, int max, int value, int minimumPage = 1) {
        parent.resize(width + 40, 60);
        parent.setAutoFillBackground(true);
        QPalette pal = parent.palette();
        pal.setColor(QPalette::Window, QColor(kParentColour));
        parent.setPalette(pal);
        slider = new CSkinSlider(&parent);
        slider->setGeometry(20, 20, width, 20);
        slider->setRange(min, max);
        slider->setValue(value);
        slider->setPageStep(1);
        slider->SetMinimumPageSize(minimumPage);
        parent.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&parent));
    }
    // The slider as it appears on its parent.
    QImage Shot() { return parent.grab(slider->geometry()).toImage(); }
};

// A left click on the channel sets the page step to the distance to the clicked value (at
// least the minimum) and the slider moves one page toward the click.
TEST(SkinSlider, ClickOnTheChannelJumpsToTheClickedValue) {
    struct Case {
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
    for (const Case& c : cases) {
        Fixture f(c.width, c.min, c.max, c.value, c.minimumPage);
        QSignalSpy grabbed(f.slider, &CSkinSlider::grabbed);
        QSignalSpy released(f.slider, &CSkinSlider::released);
        QTest::mousePress(f.slider, Qt::LeftButton, {}, QPoint(c.clickX, 10));
        EXPECT_EQ(f.slider->pageStep(), c.page) << c.what;
        EXPECT_EQ(f.slider->value(), c.landsOn) << c.what;
        QTest::mouseRelease(f.slider, Qt::LeftButton, {}, QPoint(c.clickX, 10));
        EXPECT_EQ(grabbed.count(), 1) << c.what;
        EXPECT_EQ(released.count(), 1) << c.what << ": a channel click also reports release";
        EXPECT_EQ(f.slider->pageStep(), c.page) << c.what << ": page stays after release";
    }
}

TEST(SkinSlider, DraggingTheThumbRestoresTheMinimumPageAndReportsRelease) {
    Fixture f(216, 0, 200, 100, 2);
    QSignalSpy released(f.slider, &CSkinSlider::released);
    const int thumbX = f.slider->thumbRect().center().x();
    QTest::mousePress(f.slider, Qt::LeftButton, {}, QPoint(thumbX, 10));
    EXPECT_EQ(f.slider->value(), 100) << "a press on the thumb does not jump";
    EXPECT_TRUE(f.slider->isSliderDown());
    QTest::mouseMove(f.slider, QPoint(158, 10));
    EXPECT_EQ(f.slider->pageStep(), 2);
    EXPECT_EQ(f.slider->value(), 150); // 8 + 150 / 200 * 200 = 158
    EXPECT_EQ(released.count(), 0);
    QTest::mouseRelease(f.slider, Qt::LeftButton, {}, QPoint(158, 10));
    EXPECT_FALSE(f.slider->isSliderDown());
    EXPECT_EQ(released.count(), 1);
    EXPECT_EQ(f.slider->value(), 150);
}

// The parent shows through everywhere but the channel and the thumb, whose white pixels are
// transparent; the thumb is centred on its value.
TEST(SkinSlider, LooksLikeItsReference) {
    for (const int value : {0, 5, 10}) {
        Fixture f(100, 0, 10, value);
        test::ExpectMatchesReference(f.Shot(), QUELLO_REFERENCE_DIR,
                                     QString("slider-value-%1").arg(value));
    }
}

} // namespace
} // namespace quello
