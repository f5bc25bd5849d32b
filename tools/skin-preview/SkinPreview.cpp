// skin-preview OUT_DIR [SPEED HEADING]: renders the skin as the main window shows it (window.png,
// with the gauges at a sample speed and heading), the same with every button in its hover frame
// (window-hover.png), and all button strips enlarged three times (strips.png).
#include "skin/CDashPanel.h"
#include "skin/CSkinButton.h"
#include "skin/CSkinSlider.h"
#include "skin/MainBackground.h"
#include "skin/SkinBitmaps.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using namespace quello;

class Face : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        PaintMainBackground(p);
    }
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp"));

    Face window;
    window.setFixedSize(kWindowWidth, kWindowHeight);
    auto* band = new QLabel(&window);
    band->setPixmap(QPixmap::fromImage(SkinBitmaps::Load(kBmpTitleBand)));
    band->setGeometry(kTitleImageRect);
    auto* title = new QLabel(QStringLiteral("Quello Player"), &window);
    title->setStyleSheet(QStringLiteral("color: white"));
    title->setGeometry(DialogUnitsToPixels(kTitleTextRect));
    // As in the window: the template's width was measured for a narrower font.
    title->resize(std::max(title->width(), title->sizeHint().width()), title->height());
    auto* panel = new CDashPanel(&window);
    panel->move(kPanelRect.topLeft());
    panel->DrawSpeedNeedle(argc > 3 ? std::atoi(argv[2]) : 88);
    panel->DrawHeadingDial(argc > 3 ? std::atof(argv[3]) : 60.0);
    auto* video = new QLabel(&window);
    video->setStyleSheet(QStringLiteral("background: black"));
    video->setGeometry(DialogUnitsToPixels(kVideoRect));
    auto* speed = new QLabel(QStringLiteral("%1Km/H ").arg(panel->lastSpeed()), &window);
    speed->setStyleSheet(QStringLiteral("color: white"));
    speed->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    speed->setGeometry(DialogUnitsToPixels(kSpeedTextRect));

    std::vector<CSkinButton*> buttons;
    for (const SkinnedButtonPlace& b : kSkinnedButtons) {
        auto* button = new CSkinButton(b.id, &window);
        button->setGeometry(b.rect);
        button->setFocusPolicy(Qt::NoFocus);
        if (!button->LoadSkin(b.bitmap, 4, 4, 4, 4, 4))
            std::fprintf(stderr, "bitmap %d did not load\n", b.bitmap);
        if (b.id == kIdPause)
            button->hide();
        buttons.push_back(button);
    }
    auto* position = new CSkinSlider(kIdPosition, &window);
    position->setGeometry(kPositionSliderRect);
    position->setRange(0, 600);
    position->setValue(210);
    auto* volume = new CSkinSlider(kIdVolume, &window);
    volume->setGeometry(kVolumeSliderRect);
    volume->setRange(0, 10);
    volume->setValue(7);
    auto* rate = new CSkinSlider(kIdRate, &window);
    rate->setGeometry(kRateSliderRect);
    rate->setRange(1, 5);
    rate->setValue(3);
    rate->setEnabled(false);

    bool ok = window.grab().save(out.filePath(QStringLiteral("window.png")));

    // Every button in its hover frame, with pause shown instead of play.
    for (size_t i = 0; i < buttons.size(); ++i) {
        CSkinButton* b = buttons[i];
        b->setVisible(b->controlId() != kIdPlay);
        // A strip whose normal frame is the hover frame.
        QImage strip = SkinBitmaps::Load(kSkinnedButtons[i].bitmap);
        const int fw = strip.width() / 4;
        QPainter(&strip).drawImage(QPoint(0, 0), strip.copy(fw, 0, fw, strip.height()));
        b->LoadSkinImage(strip, 4, 4, 4, 4, 4);
    }
    ok = window.grab().save(out.filePath(QStringLiteral("window-hover.png"))) && ok;

    int sheetHeight = 10;
    for (const SkinnedButtonPlace& b : kSkinnedButtons)
        sheetHeight += SkinBitmaps::Load(b.bitmap).height() * 3 + 6;
    QImage sheet(620, sheetHeight, QImage::Format_RGB32);
    sheet.fill(QColor(60, 60, 60));
    QPainter p(&sheet);
    int y = 10;
    for (const SkinnedButtonPlace& b : kSkinnedButtons) {
        const QImage strip = SkinBitmaps::Load(b.bitmap);
        const QImage big =
            strip.scaled(strip.size() * 3, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        p.drawImage(10, y, big);
        y += big.height() + 6;
    }
    p.end();
    ok = sheet.copy(0, 0, 620, y).save(out.filePath(QStringLiteral("strips.png"))) && ok;
    return ok ? 0 : 1;
}
