#include "WindowTemplate.h"

#include "playback/CVideoHost.h"
#include "res/skin/WindowLayout.h"
#include "skin/CDashPanel.h"
#include "skin/CSkinButton.h"
#include "skin/CSkinSlider.h"
#include "skin/SkinBitmaps.h"
#include "views/CCarSignalsBar.h"
#include "views/CMyWaveForm.h"

#include <QAbstractSlider>
#include <QCheckBox>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include <algorithm>

namespace quello {
namespace {

constexpr int kRowHeight = 17;

template <class T> T* Place(T* widget, int id, const QRect& rect) {
    widget->setObjectName(QStringLiteral("ctl%1").arg(id));
    widget->setGeometry(rect);
    return widget;
}

// The controls other than the buttons, in the order they are made: later ones lie above
// earlier ones.
struct OtherPlace {
    int id;
    QRect rect;
};
const OtherPlace kOtherPlaces[] = {
    {kIdTitleImage, kTitleImageRect},
    {kIdPanel, kPanelRect},
    {kIdTitleText, DialogUnitsToPixels(kTitleTextRect)},
    {kIdVideo, DialogUnitsToPixels(kVideoRect)},
    {kIdUnused1017, DialogUnitsToPixels(kUnused1017Rect)},
    {kIdVolumeMinusLabel, DialogUnitsToPixels(kVolumeMinusLabelRect)},
    {kIdVolumePlusLabel, DialogUnitsToPixels(kVolumePlusLabelRect)},
    {kIdPosition, kPositionSliderRect},
    {kIdVolume, kVolumeSliderRect},
    {kIdRate, kRateSliderRect},
    {kIdRecycle, DialogUnitsToPixels(kRecycleRect)},
    {kIdLibrary, DialogUnitsToPixels(kLibraryRect)},
    {kIdWaveform, DialogUnitsToPixels(kWaveformTemplateRect)},
    {kIdMapHost, DialogUnitsToPixels(kMapHostRect)},
    {kIdSpeedText, DialogUnitsToPixels(kSpeedTextRect)},
};

QRect OtherRect(int id) {
    for (const OtherPlace& p : kOtherPlaces)
        if (p.id == id)
            return p.rect;
    return {};
}

CSkinSlider* MakeSlider(QWidget* window, int id, int minimum, int maximum, int pageStep,
                        int value) {
    auto* slider = Place(new CSkinSlider(window), id, OtherRect(id));
    slider->setRange(minimum, maximum);
    slider->setPageStep(pageStep);
    slider->setValue(value);
    return slider;
}

} // namespace

WindowControls WindowTemplate::Build(QWidget* window) {
    WindowControls c;
    // Pictures first, so every control lies above them.
    auto* titleImage = Place(new QLabel(window), kIdTitleImage, OtherRect(kIdTitleImage));
    titleImage->setPixmap(QPixmap::fromImage(SkinBitmaps::Load(kBmpTitleBand)));
    titleImage->setAttribute(Qt::WA_TransparentForMouseEvents);

    c.panel = Place(new CDashPanel(window), kIdPanel, OtherRect(kIdPanel));

    auto* title = Place(new QLabel(QStringLiteral("Quello Player"), window), kIdTitleText,
                        OtherRect(kIdTitleText));
    title->setAttribute(Qt::WA_TransparentForMouseEvents);
    // The template's width was measured for a narrower font; never cut the name.
    title->resize(std::max(title->width(), title->sizeHint().width()), title->height());

    // Beneath the video host, which covers it once a movie opens.
    c.placeholder = new QLabel(QStringLiteral("Double-click a recording to play it"), window);
    c.placeholder->setObjectName(QStringLiteral("videoPlaceholder"));
    c.placeholder->setGeometry(OtherRect(kIdVideo));
    c.placeholder->setAlignment(Qt::AlignCenter);
    c.placeholder->setAttribute(Qt::WA_TransparentForMouseEvents);

    c.video = Place(new CVideoHost(window), kIdVideo, OtherRect(kIdVideo));
    c.video->setFocusPolicy(Qt::StrongFocus);
    c.video->hide();

    for (const SkinnedButtonPlace& b : kSkinnedButtons) {
        auto* button = Place(new CSkinButton(b.id, window), b.id, b.rect);
        button->LoadSkin(b.bitmap, 4, 4, 4, 4, 4);
        if (b.id == kIdPlay)
            c.play = button;
        else if (b.id == kIdPause)
            c.pause = button;
    }
    c.pause->hide();

    for (const PlainButtonPlace& b : kPlainButtons) {
        auto* button = Place(new QPushButton(QString::fromUtf8(b.text), window), b.id,
                             DialogUnitsToPixels(b.rect));
        button->setVisible(b.visible);
        // Enter in the library must not press whichever button the dialog deems default.
        button->setAutoDefault(false);
    }
    Place(new QLabel(window), kIdUnused1017, OtherRect(kIdUnused1017))->hide();
    Place(new QLabel(QStringLiteral("-"), window), kIdVolumeMinusLabel,
          OtherRect(kIdVolumeMinusLabel));
    Place(new QLabel(QStringLiteral("+"), window), kIdVolumePlusLabel,
          OtherRect(kIdVolumePlusLabel));

    c.position = MakeSlider(window, kIdPosition, 0, 100, 1, 0);
    c.volume = MakeSlider(window, kIdVolume, 0, 10, 1, 0);
    c.rate = MakeSlider(window, kIdRate, 1, 5, 2, 3);
    c.rate->SetMinimumPageSize(2);
    c.rate->setEnabled(false);

    c.recycle =
        Place(new QCheckBox(QStringLiteral("Recycle"), window), kIdRecycle, OtherRect(kIdRecycle));

    // Buttons and sliders take the keyboard by Tab only: a click on them must not take the
    // playback keys (Space, the arrows) away from the window.
    for (QWidget* control : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (qobject_cast<QAbstractButton*>(control) || qobject_cast<QAbstractSlider*>(control))
            control->setFocusPolicy(Qt::TabFocus);

    c.list = Place(new QTableWidget(0, 3, window), kIdLibrary, OtherRect(kIdLibrary));
    c.list->horizontalHeader()->hide();
    c.list->verticalHeader()->hide();
    c.list->setShowGrid(true);
    c.list->setSelectionMode(QAbstractItemView::SingleSelection);
    c.list->setSelectionBehavior(QAbstractItemView::SelectRows);
    c.list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    c.list->setWordWrap(false);
    c.list->setColumnWidth(0, 12);
    c.list->setColumnWidth(1, 202);
    c.list->setColumnWidth(2, 130);
    c.list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    c.list->verticalHeader()->setDefaultSectionSize(kRowHeight);
    c.list->setTextElideMode(Qt::ElideLeft); // the file name is the telling part of a path
    c.list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    c.waveform = Place(new CMyWaveForm(window), kIdWaveform, OtherRect(kIdWaveform));
    // A click gives it the keys that jump between the G-force events it marks.
    c.waveform->setFocusPolicy(Qt::ClickFocus);

    auto* mapHost = Place(new QFrame(window), kIdMapHost, OtherRect(kIdMapHost));
    mapHost->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    mapHost->hide();
    c.mapHost = mapHost;

    // The speed read-out lies over the panel, so it is made after it.
    c.speedText =
        Place(new QLabel(QStringLiteral("0Km/H "), window), kIdSpeedText, OtherRect(kIdSpeedText));
    c.speedText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    c.speedText->setAttribute(Qt::WA_TransparentForMouseEvents);
    // Between the waveform and the speed, in two lines at most, above the buttons; hidden for
    // the camera's own telemetry.
    const QRect speed = OtherRect(kIdSpeedText);
    c.gpsNote = new QLabel(window);
    c.gpsNote->setObjectName(QStringLiteral("gpsNote"));
    c.gpsNote->setGeometry(QRect(QPoint(OtherRect(kIdWaveform).right() + 8, speed.top() - 10),
                                 QPoint(speed.left() - 12, speed.bottom() + 7)));
    c.gpsNote->setWordWrap(true);
    c.gpsNote->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    c.gpsNote->setAttribute(Qt::WA_TransparentForMouseEvents);
    c.gpsNote->hide();

    // Over the gauges, in the row of the position slider: the one free stretch of the panel
    // wide enough for the line.
    const QRect slider = OtherRect(kIdPosition);
    c.carSignals = new CCarSignalsBar(window);
    c.carSignals->setObjectName(QStringLiteral("carSignals"));
    c.carSignals->setGeometry(QRect(QPoint(slider.right() + 12, slider.top()),
                                    QPoint(kWindowWidth - 9, slider.bottom())));

    ApplyVisualStyle(window, c);
    return c;
}

void WindowTemplate::ApplyVisualStyle(QWidget* window, const WindowControls& c) {
    QPalette black = window->palette();
    black.setColor(QPalette::Window, Qt::black);
    c.video->setAutoFillBackground(true);
    c.video->setPalette(black);
    c.mapHost->setAutoFillBackground(true);
    c.mapHost->setPalette(black);

    QPalette recycle = c.recycle->palette();
    // A button fills its background with the Button role, so both roles carry the colour.
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Button})
        recycle.setColor(role, QColor(0x0A, 0x0A, 0x0A));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText})
        recycle.setColor(role, Qt::white);
    c.recycle->setAutoFillBackground(true);
    c.recycle->setPalette(recycle);

    // The hint reads like the title: white on the dark skin, in the window's font.
    for (QWidget* label : {Control(window, kIdTitleText), Control(window, kIdSpeedText),
                           static_cast<QWidget*>(c.placeholder), static_cast<QWidget*>(c.gpsNote),
                           static_cast<QWidget*>(c.carSignals)}) {
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, Qt::white);
        label->setPalette(p);
        label->setAttribute(Qt::WA_TranslucentBackground);
    }

    // The played row stays visibly selected when the list does not have the focus.
    QPalette list = c.list->palette();
    list.setColor(QPalette::Inactive, QPalette::Highlight,
                  list.color(QPalette::Active, QPalette::Highlight));
    list.setColor(QPalette::Inactive, QPalette::HighlightedText,
                  list.color(QPalette::Active, QPalette::HighlightedText));
    c.list->setPalette(list);
}

QWidget* WindowTemplate::Control(const QWidget* window, int id) {
    return window->findChild<QWidget*>(QStringLiteral("ctl%1").arg(id));
}

QString WindowTemplate::LayoutJson() {
    QJsonObject controls;
    auto add = [&controls](int id, const QRect& r) {
        controls.insert(QString::number(id), QJsonArray{r.x(), r.y(), r.width(), r.height()});
    };
    for (const OtherPlace& p : kOtherPlaces)
        add(p.id, p.rect);
    for (const SkinnedButtonPlace& b : kSkinnedButtons)
        add(b.id, b.rect);
    for (const PlainButtonPlace& b : kPlainButtons)
        add(b.id, DialogUnitsToPixels(b.rect));
    QJsonObject layout{{QStringLiteral("window"), QJsonArray{kWindowWidth, kWindowHeight}},
                       {QStringLiteral("controls"), controls}};
    return QString::fromUtf8(QJsonDocument(layout).toJson(QJsonDocument::Compact));
}

} // namespace quello
