#pragma once

#include "GSensorSample.h"
#include "GpsFix.h"

#include <cstdint>

namespace quello {

// The telemetry of one recording: fixed-size storage, no heap (about 54 KB, so better not on
// the stack). A plain value type: sample i covers video time i/10 s, fix i second i, speeds[i]
// is fixes[i].speed; slots from the counts on are empty. Not synchronized: whoever owns an
// instance keeps its writer and readers on one thread.
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
