// skin-preview OUT_DIR [SPEED HEADING]: renders the skin as the main window shows it (window.png,
// with the gauges at a sample speed and heading), the same with every button in its hover frame
// (window-hover.png), and all button strips enlarged three times (strips.png).
#include "CDashPanel.h"
#include "CSkinButton.h"
#include "CSkinSlider.h"
#include "MainBackground.h"
#include "SkinBitmaps.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPainter>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using namespace quello;

struct Placement {
    int controlId;
    QRect rect;
    int bitmap;
};

const Placement kButtons[] = {
    {1055, {935, 0, 24, 16}, 137},   {1, {960, 0, 41, 16}, 134},
    {1023, {696, 44, 50, 20}, 136},  {1043, {747, 44, 50, 20}, 135},
    {1002, {187, 724, 25, 25}, 142}, {1005, {215, 724, 51, 24}, 141},
    {1001, {267, 716, 41, 41}, 140}, {1007, {267, 716, 41, 41}, 139},
    {1006, {309, 724, 51, 24}, 138}, {1057, {413, 721, 34, 27}, 148},
    {1058, {593, 721, 32, 27}, 147}, {1062, {780, 715, 50, 52}, 152},
    {1030, {838, 715, 50, 52}, 144}, {1028, {894, 715, 50, 52}, 143},
    {1029, {950, 715, 50, 52}, 145},
};

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
    window.setFixedSize(1024, 768);
    auto* band = new QLabel(&window);
    band->setPixmap(QPixmap::fromImage(SkinBitmaps::Load(kBmpTitleBand)));
    band->setGeometry(0, 0, 1024, 24);
    auto* title = new QLabel(QStringLiteral("Quello Player"), &window);
    title->setStyleSheet(QStringLiteral("color: white"));
    title->setGeometry(33, 5, 120, 14);
    auto* panel = new CDashPanel(&window);
    panel->move(0, 521);
    panel->DrawSpeedNeedle(argc > 3 ? std::atoi(argv[2]) : 88);
    panel->DrawHeadingDial(argc > 3 ? std::atof(argv[3]) : 60.0);
    auto* video = new QLabel(&window);
    video->setStyleSheet(QStringLiteral("background: black"));
    video->setGeometry(17, 38, 638, 477);
    auto* speed = new QLabel(QStringLiteral("%1Km/H ").arg(panel->lastSpeed()), &window);
    speed->setStyleSheet(QStringLiteral("color: white"));
    speed->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    speed->setGeometry(820, 691, 59, 14);

    std::vector<CSkinButton*> buttons;
    for (const Placement& b : kButtons) {
        auto* button = new CSkinButton(b.controlId, &window);
        button->setGeometry(b.rect);
        button->setFocusPolicy(Qt::NoFocus);
        if (!button->LoadSkin(b.bitmap, 4, 4, 4, 4, 4))
            std::fprintf(stderr, "bitmap %d did not load\n", b.bitmap);
        if (b.controlId == 1007)
            button->hide();
        buttons.push_back(button);
    }
    auto* position = new CSkinSlider(1018, &window);
    position->setGeometry(30, 525, 636, 20);
    position->setRange(0, 600);
    position->setValue(210);
    auto* volume = new CSkinSlider(1050, &window);
    volume->setGeometry(35, 727, 81, 20);
    volume->setRange(0, 10);
    volume->setValue(7);
    auto* rate = new CSkinSlider(1060, &window);
    rate->setGeometry(444, 727, 154, 20);
    rate->setRange(1, 5);
    rate->setValue(3);
    rate->setEnabled(false);

    bool ok = window.grab().save(out.filePath(QStringLiteral("window.png")));

    // Every button in its hover frame, with pause shown instead of play.
    for (size_t i = 0; i < buttons.size(); ++i) {
        CSkinButton* b = buttons[i];
        b->setVisible(b->controlId() != 1001);
        // A strip whose normal frame is the hover frame.
        QImage strip = SkinBitmaps::Load(kButtons[i].bitmap);
        const int fw = strip.width() / 4;
        QPainter(&strip).drawImage(QPoint(0, 0), strip.copy(fw, 0, fw, strip.height()));
        b->LoadSkinImage(strip, 4, 4, 4, 4, 4);
    }
    ok = window.grab().save(out.filePath(QStringLiteral("window-hover.png"))) && ok;

    int sheetHeight = 10;
    for (const Placement& b : kButtons)
        sheetHeight += SkinBitmaps::Load(b.bitmap).height() * 3 + 6;
    QImage sheet(620, sheetHeight, QImage::Format_RGB32);
    sheet.fill(QColor(60, 60, 60));
    QPainter p(&sheet);
    int y = 10;
    for (const Placement& b : kButtons) {
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
