#pragma once

#include "GSensorSample.h"
#include "GpsFix.h"

#include <cstdint>

namespace quello {

// The telemetry of one recording: fixed-size storage, no heap. The main window owns one
// instance and replaces its content on every load; everything else reads it on the GUI thread.
struct TelemetrySet {
    static constexpr int kMaxSamples = 3000;
    static constexpr int kMaxFixes = 300;

    GSensorSample samples[kMaxSamples] = {};
    std::int32_t sampleCount = 0;
    std::int32_t speeds[kMaxFixes] = {};
    GpsFix fixes[kMaxFixes] = {};
    std::int32_t fixCount = 0;
};

} // namespace quello
