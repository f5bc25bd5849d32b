#include "RecordingFacts.h"

#include "recordings/MovieHeader.h"
#include "recordings/TelemetryRoute.h"
#include "recordings/TelemetrySources.h"

#include <ctime>
#include <memory>

namespace quello {

RecordingFacts ReadRecordingFacts(const std::string& moviePath, const std::string& telemetryPath,
                                  const GForceThresholds& thresholds) {
    RecordingFacts facts;
    RecordingEntry entry;
    entry.moviePath = moviePath;
    entry.telemetryPath = telemetryPath;
    std::tm created{};
    created.tm_year = -1;
    int readOnly = 0;
    ReadMovieHeader(moviePath, created, entry.durationSeconds, readOnly);
    if (created.tm_year >= 70) {
        entry.hasStartTime = true;
        entry.startTime = static_cast<std::int64_t>(timegm(&created));
    }
    facts.hasStart = entry.hasStartTime;
    facts.start = entry.startTime;
    facts.length = entry.durationSeconds;
    facts.readOnly = readOnly == 1;

    GpsOptions options;
    options.embedded = false;
    // About 54 KB: kept off the stack of whatever thread reads it.
    const auto telemetry = std::make_unique<TelemetrySet>();
    const TelemetryLoad load = LoadRecordingTelemetry(entry, options, *telemetry);
    facts.telemetrySource = TelemetrySourceName(load.source);
    const int fixCount = std::min(telemetry->fixCount, TelemetrySet::kMaxFixes);
    for (int i = 0; i < fixCount; ++i) {
        const GpsFix& fix = telemetry->fixes[i];
        if (const auto point = RoutePointOf(fix, i + 1))
            facts.fixes.push_back(
                {point->second, point->latitude, point->longitude, fix.speed, fix.heading});
    }
    facts.events =
        FindGForceEvents(telemetry->samples,
                         std::min(telemetry->sampleCount, TelemetrySet::kMaxSamples), thresholds);
    return facts;
}

} // namespace quello
