// Four-frame button strips of the skin, drawn over the part of the window face each button
// covers so that the strips need no transparent colour. Internal to skin_res. GUI thread only.
#pragma once

#include <QImage>
#include <QRect>

namespace quello {

enum class PlateStyle {
    TitleBar,       // flat until hovered, for the title band
    TitleBarDanger, // the same, hover turns red (close)
    Rounded,        // small rounded plate
    Round,          // round plate with an accent ring (play, pause)
    Tile,           // large rounded tile (tools)
};

struct ButtonArtSpec {
    int bitmapId;
    QRect place; // the button's rectangle in main-window pixels
    const char* icon;
    PlateStyle style;
    int iconPixels;
};

// `underneath` is the window face at `spec.place` (same size as the button). Frames, left to
// right: 0 normal, 1 pointer over it, 2 pressed or focused, 3 just released or disabled.
QImage RenderButtonStrip(const ButtonArtSpec& spec, const QImage& underneath);

} // namespace quello
