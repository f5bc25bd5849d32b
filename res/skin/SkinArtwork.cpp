#include "SkinArtwork.h"

#include "ArtPainting.h"
#include "ButtonArt.h"
#include "DashboardArt.h"

#include <QPainter>

#include <array>

// Resources of a static library must be registered explicitly; the macro has to be used
// outside any namespace.
static void RegisterSkinArtResources() {
    Q_INIT_RESOURCE(skin_art);
}

namespace quello {
namespace {

constexpr int kTitleBand = 150;
constexpr int kBackground = 149;
constexpr int kPanel = 151;
constexpr int kThumb = 146;
constexpr int kCompassNeedle = 153;
constexpr int kTitleBandHeight = 24;
constexpr int kPanelTop = 521; // 768 - 247

// Every button strip, with the place of its button in the window (four frames of that size).
constexpr std::array<ButtonArtSpec, 15> kButtons{{
    {137, {935, 0, 24, 16}, "minimise", PlateStyle::TitleBar, 12},
    {134, {960, 0, 41, 16}, "close", PlateStyle::TitleBarDanger, 12},
    {136, {696, 44, 50, 20}, "addfolder", PlateStyle::Rounded, 16},
    {135, {747, 44, 50, 20}, "clear", PlateStyle::Rounded, 15},
    {142, {187, 724, 25, 25}, "stop", PlateStyle::Rounded, 14},
    {141, {215, 724, 51, 24}, "previous", PlateStyle::Rounded, 15},
    {140, {267, 716, 41, 41}, "play", PlateStyle::Round, 20},
    {139, {267, 716, 41, 41}, "pause", PlateStyle::Round, 20},
    {138, {309, 724, 51, 24}, "next", PlateStyle::Rounded, 15},
    {148, {413, 721, 34, 27}, "slower", PlateStyle::Rounded, 16},
    {147, {593, 721, 32, 27}, "faster", PlateStyle::Rounded, 16},
    {152, {780, 715, 50, 52}, "kml", PlateStyle::Tile, 30},
    {144, {838, 715, 50, 52}, "print", PlateStyle::Tile, 30},
    {143, {894, 715, 50, 52}, "snapshot", PlateStyle::Tile, 30},
    {145, {950, 715, 50, 52}, "settings", PlateStyle::Tile, 30},
}};

const ButtonArtSpec* FindButton(int id) {
    for (const ButtonArtSpec& b : kButtons)
        if (b.bitmapId == id)
            return &b;
    return nullptr;
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
    QImage band = Opaque(RenderSvg(QStringLiteral(":/skin/svg/titleband.svg"), {1024, 24}),
                         QColor(0x1d, 0x21, 0x28));
    QPainter p(&band);
    p.drawImage(QPoint(9, 4),
                TintedIcon(QStringLiteral("logo"), {16, 16}, QColor(0x6e, 0x96, 0xff)));
    return band;
}

QImage RenderPanel() {
    QImage panel = Opaque(RenderSvg(QStringLiteral(":/skin/svg/panel.svg"), {1024, 247}),
                          QColor(0x15, 0x18, 0x1d));
    QPainter p(&panel);
    PaintSpeedDial(p, kSpeedDialCentre);
    PaintCompassRose(p, kCompassCentre);
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
    if (const ButtonArtSpec* b = FindButton(id))
        return {b->place.width() * 4, b->place.height()};
    switch (id) {
    case kThumb:
        return {6, 9};
    case kBackground:
        return {1024, 497};
    case kTitleBand:
        return {1024, 24};
    case kPanel:
        return {1024, 247};
    case kCompassNeedle:
        return {14, 100};
    default:
        return {};
    }
}

QImage RenderSkinBitmap(int id) {
    EnsureResources();
    if (const ButtonArtSpec* b = FindButton(id))
        return RenderButtonStrip(*b, WindowFaceAt(b->place));
    switch (id) {
    case kThumb:
        return RenderThumb();
    case kBackground:
        return Opaque(RenderSvg(QStringLiteral(":/skin/svg/background.svg"), {1024, 497}),
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
