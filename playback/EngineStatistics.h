#pragma once

#include <cstdint>

namespace quello {

// Rendering figures of the open movie, for benchmarks and diagnostics.
struct EngineStatistics {
    std::int64_t framesRendered = 0; // new frames drawn into the video host
    std::int64_t framesDropped = 0;  // frames the decoder or the video output skipped
    double meanRenderMs = 0.0;       // mean time of one render call for a new frame
};

} // namespace quello
