// Skin bitmaps by resource id, rendered from the artwork once and then shared.
// Threading: any thread once a QGuiApplication exists (the artwork is rendered into images,
// never pixmaps; the cache is locked). The returned images are implicitly shared copies.
#pragma once

#include "res/skin/WindowLayout.h"

#include <QImage>

namespace quello {

class SkinBitmaps {
public:
    // The bitmap with resource id `id` (134-153); a null image for any other id.
    static QImage Load(int id);
};

} // namespace quello
