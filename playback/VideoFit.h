#pragma once

#include <QRect>

namespace quello {

// The letterbox rectangle for a video of videoWidth x videoHeight pixels inside a client area
// of clientWidth x clientHeight: centred, aspect ratio kept, never larger than the area.
// A video without a usable size (either side < 1) fills the whole area.
// Pure function; safe on any thread.
QRect VideoFit(int videoWidth, int videoHeight, int clientWidth, int clientHeight);

} // namespace quello
