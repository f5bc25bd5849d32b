#pragma once

#include <QImage>

#include <vector>

namespace quello {

// The pictures of a moment's cameras composed into one, main camera first, row by row: two
// views side by side, three or four as 2 x 2, five or six as 3 x 2 (columns x rows), a single
// view alone. Every cell has the main camera's picture size scaled so that the whole is as wide
// as the main camera's picture at most; each view is fitted into its cell keeping its aspect
// ratio, the rest black. A null view (a camera without a picture at that moment) is a black
// cell with "No picture" centred; a cell no camera fills stays black.
// Owns nothing; plain function on images. Needs a QGuiApplication for the text's font.
// Returns a null image when the main view is null or there are more than six views.
QImage ComposeCameraGrid(const std::vector<QImage>& views);

} // namespace quello
