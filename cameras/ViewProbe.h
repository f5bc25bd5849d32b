#pragma once

#include "cameras/ViewLayout.h"

#include <string>

namespace quello {

// What composing a camera's movie with others needs to know before it plays.
struct ViewFacts {
    ViewSource source;  // 0 x 0: no such file, or no picture in it
    double seconds = 0; // the video's length; 0 when unknown
};

// Reads the movie's container header with libavformat (no decoding, no stream probing): the
// first video stream's display size (rotation ignored, sample aspect applied to the width) and
// length. A missing or unreadable file gives empty facts. Safe on any thread.
ViewFacts ProbeView(const std::string& moviePath);

} // namespace quello
