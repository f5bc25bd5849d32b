// The skin's bitmaps 134-153, rendered from the editable sources of this library.
// Ownership: returns independent images. Threading: GUI thread only (uses fonts and SVG).
#pragma once

#include <QImage>
#include <QSize>

namespace quello {

// Size of skin bitmap `id`; an empty size for an id outside the skin.
QSize SkinBitmapSize(int id);

// Renders skin bitmap `id` at its exact size in QImage::Format_RGB32; a null image for an id
// outside the skin. Button strips are four frames of their button's size side by side; the
// compass needle (153) uses magenta RGB(255, 0, 255) and the slider thumb (146) white where
// they are transparent.
QImage RenderSkinBitmap(int id);

} // namespace quello
