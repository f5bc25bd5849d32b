// Skin bitmaps by resource id, rendered from the artwork once and then shared.
// Threading: GUI thread only. The returned images are implicitly shared copies.
#pragma once

#include <QImage>

namespace quello {

enum SkinBitmapId : int {
    kBmpClose = 134,
    kBmpClear = 135,
    kBmpAddFolder = 136,
    kBmpMinimize = 137,
    kBmpNext = 138,
    kBmpPause = 139,
    kBmpPlay = 140,
    kBmpPrevious = 141,
    kBmpStop = 142,
    kBmpSnapshot = 143,
    kBmpPrint = 144,
    kBmpSettings = 145,
    kBmpSliderThumb = 146,
    kBmpFaster = 147,
    kBmpSlower = 148,
    kBmpBackground = 149,
    kBmpTitleBand = 150,
    kBmpPanel = 151,
    kBmpKml = 152,
    kBmpCompassNeedle = 153,
};

class SkinBitmaps {
public:
    // The bitmap with resource id `id` (134-153); a null image for any other id.
    static QImage Load(int id);
};

} // namespace quello
