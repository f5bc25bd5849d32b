// The main window's background rule: bitmap 149 (1024 x 497) at (0, 24), unscaled, and no
// other fill. The title band above it (bitmap 150) and the panel below it (bitmap 151,
// CDashPanel) are widgets of their own. Call from the main window's paint event.
// GUI thread only.
#pragma once

class QPainter;

namespace quello {

void PaintMainBackground(QPainter& painter);

} // namespace quello
