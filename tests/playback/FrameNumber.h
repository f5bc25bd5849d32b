#pragma once

#include <QImage>
#include <QString>

namespace quello::test {

// Folder of the movies made by tests/support/make-test-media.
QString MediaPath(const char* name);

// Reads the frame number that make-test-media paints into every frame (eight bars in the top
// half, most significant bit left, red bottom half). -1 when the picture is not such a frame
// or is upside down.
int FrameNumber(const QImage& picture);

// A packed 32-bit bottom-up DIB as a top-down image; null for anything else.
QImage DibToImage(const unsigned char* dib, int size);

} // namespace quello::test
