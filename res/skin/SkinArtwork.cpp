#include "SkinArtwork.h"

#include "ArtPainting.h"
#include "ButtonArt.h"
#include "DashboardArt.h"
#include "WindowLayout.h"

#include <QPainter>

#include <optional>

// Resources of a static library must be registered explicitly; the macro has to be used
// outside any namespace.
static void RegisterSkinArtResources() {
    Q_INIT_RESOURCE(skin_art);
}

namespace quello {
namespace {

constexpr int kTitleBand = kBmpTitleBand;
constexpr int kBackground = kBmpBackground;
constexpr int kPanel = kBmpPanel;
constexpr int kThumb = kBmpSliderThumb;
constexpr int kCompassNeedle = kBmpCompassNeedle;

// The look of every button strip; its size (four frames of the button's size) and the face
// under it come from the button's place in the window.
struct ButtonLook {
    int bitmapId;
    const char* icon;
    PlateStyle style;
    int iconPixels;
};
constexpr ButtonLook kButtonLooks[] = {
    {kBmpMinimize, "minimise", PlateStyle::TitleBar, 12},
    {kBmpClose, "close", PlateStyle::TitleBarDanger, 12},
    {kBmpAddFolder, "addfolder", PlateStyle::Rounded, 16},
    {kBmpClear, "clear", PlateStyle::Rounded, 15},
    {kBmpStop, "stop", PlateStyle::Rounded, 14},
    {kBmpPrevious, "previous", PlateStyle::Rounded, 15},
    {kBmpPlay, "play", PlateStyle::Round, 20},
    {kBmpPause, "pause", PlateStyle::Round, 20},
    {kBmpNext, "next", PlateStyle::Rounded, 15},
    {kBmpSlower, "slower", PlateStyle::Rounded, 16},
    {kBmpFaster, "faster", PlateStyle::Rounded, 16},
    {kBmpKml, "kml", PlateStyle::Tile, 30},
    {kBmpPrint, "print", PlateStyle::Tile, 30},
    {kBmpSnapshot, "snapshot", PlateStyle::Tile, 30},
    {kBmpSettings, "settings", PlateStyle::Tile, 30},
};

std::optional<ButtonArtSpec> FindButton(int id) {
    for (const ButtonLook& look : kButtonLooks) {
        if (look.bitmapId != id)
            continue;
        for (const SkinnedButtonPlace& place : kSkinnedButtons)
            if (place.bitmap == id)
                return ButtonArtSpec{id, place.rect, look.icon, look.style, look.iconPixels};
    }
    return std::nullopt;
}

void EnsureResources() {
    static const bool registered = (RegisterSkinArtResources(), true);
    (void)registered;
}

QImage Opaque(const QImage& art, QColor under) {
    QImage out(art.size(), QImage::Format_RGB32);
    out.fill(under);
    QPainter p(&out);
    p.drawImage(0, 0, art);
    return out;
}

QImage RenderTitleBand() {
    QImage band = Opaque(
        RenderSvg(QStringLiteral(":/skin/svg/titleband.svg"), {kWindowWidth, kTitleBandHeight}),
        QColor(0x1d, 0x21, 0x28));
    QPainter p(&band);
    p.drawImage(QPoint(9, 4),
                TintedIcon(QStringLiteral("logo"), {16, 16}, QColor(0x6e, 0x96, 0xff)));
    return band;
}

QImage RenderPanel() {
    QImage panel =
        Opaque(RenderSvg(QStringLiteral(":/skin/svg/panel.svg"), {kWindowWidth, kPanelHeight}),
               QColor(0x15, 0x18, 0x1d));
    QPainter p(&panel);
    PaintSpeedDial(p, kSpeedDialCentreInPanel);
    PaintCompassRose(p, kCompassCentreInPanel);
    // The volume slider has no text labels on the window; a speaker says what it is.
    p.drawImage(QPoint(12, 208),
                TintedIcon(QStringLiteral("speaker"), {17, 17}, QColor(0x8e, 0x99, 0xa8)));
    return panel;
}

// 6 x 9 pixel art; '.' is white, the thumb's transparent colour.
QImage RenderThumb() {
    static const char* const rows[] = {"oooooo", "oLLLLo", "oLAALo", "oLAALo", "oLAALo",
                                       "oLLLLo", "ooLLoo", ".oLLo.", "..oo.."};
    QImage thumb(6, 9, QImage::Format_RGB32);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 6; ++x) {
            QRgb c = qRgb(255, 255, 255);
            switch (rows[y][x]) {
            case 'o':
                c = qRgb(0x0d, 0x10, 0x16);
                break;
            case 'L':
                c = qRgb(0xdf, 0xe5, 0xee);
                break;
            case 'A':
                c = qRgb(0x6e, 0x96, 0xff);
                break;
            default:
                break;
            }
            thumb.setPixel(x, y, c);
        }
    return thumb;
}

// The part of the window face under a button. The three faces are rendered once per run.
QImage WindowFaceAt(QRect place) {
    static const QImage band = RenderSkinBitmap(kTitleBand);
    static const QImage background = RenderSkinBitmap(kBackground);
    static const QImage panel = RenderSkinBitmap(kPanel);
    if (place.top() < kTitleBandHeight)
        return band.copy(place);
    if (place.top() < kPanelTop)
        return background.copy(place.translated(0, -kTitleBandHeight));
    return panel.copy(place.translated(0, -kPanelTop));
}

} // namespace

QSize SkinBitmapSize(int id) {
    if (const std::optional<ButtonArtSpec> b = FindButton(id))
        return {b->place.width() * 4, b->place.height()};
    switch (id) {
    case kThumb:
        return {6, 9};
    case kBackground:
        return {kWindowWidth, kBackgroundHeight};
    case kTitleBand:
        return {kWindowWidth, kTitleBandHeight};
    case kPanel:
        return {kWindowWidth, kPanelHeight};
    case kCompassNeedle:
        return {14, 100};
    default:
        return {};
    }
}

QImage RenderSkinBitmap(int id) {
    EnsureResources();
    if (const std::optional<ButtonArtSpec> b = FindButton(id))
        return RenderButtonStrip(*b, WindowFaceAt(b->place));
    switch (id) {
    case kThumb:
        return RenderThumb();
    case kBackground:
        return Opaque(RenderSvg(QStringLiteral(":/skin/svg/background.svg"),
                                {kWindowWidth, kBackgroundHeight}),
                      QColor(0x17, 0x1a, 0x1f));
    case kTitleBand:
        return RenderTitleBand();
    case kPanel:
        return RenderPanel();
    case kCompassNeedle:
        return MatteToKey(RenderSvg(QStringLiteral(":/skin/svg/needle.svg"), {14, 100}),
                          kCompassFace);
    default:
        return {};
    }
}

} // namespace quello
