#include "TelemetryJson.h"

#include <algorithm>
#include <utility>

namespace quello {

nlohmann::ordered_json TelemetryJson(const TelemetrySet& set, bool loaded) {
    const int samples = std::clamp<int>(set.sampleCount, 0, TelemetrySet::kMaxSamples);
    const int fixes = std::clamp<int>(set.fixCount, 0, TelemetrySet::kMaxFixes);
    nlohmann::ordered_json doc;
    doc["loaded"] = loaded;
    doc["sampleCount"] = samples;
    doc["fixCount"] = fixes;
    nlohmann::ordered_json sampleArray = nlohmann::ordered_json::array();
    for (int i = 0; i < samples; ++i) {
        const GSensorSample& s = set.samples[i];
        sampleArray.push_back({s.x, s.y, s.z});
    }
    doc["samples"] = std::move(sampleArray);
    nlohmann::ordered_json fixArray = nlohmann::ordered_json::array();
    for (int i = 0; i < fixes; ++i) {
        const GpsFix& f = set.fixes[i];
        fixArray.push_back({{"dateTime", FixText(f.dateTime)},
                            {"latitude", FixText(f.latitude)},
                            {"longitude", FixText(f.longitude)},
                            {"speed", f.speed},
                            {"heading", f.heading}});
    }
    doc["fixes"] = std::move(fixArray);
    return doc;
}

} // namespace quello
