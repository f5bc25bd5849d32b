#pragma once

#include "LibraryIndex.h"

#include <string>

namespace quello {

// What the index stores of one recording, read from its files as the player reads them: the
// movie's header (start, length, the camera's lock), its telemetry from the camera's file or a
// GPX/NMEA side file (GPS embedded in the movie is not looked for: that runs ExifTool for
// seconds per movie), the route's fixes and the G-force events at `thresholds`.
struct RecordingFacts {
    bool hasStart = false;
    std::int64_t start = 0; // camera clock, seconds since 1970 as stored
    std::uint32_t length = 0;
    bool readOnly = false;
    std::string telemetrySource = "none";
    std::vector<LibraryFix> fixes;
    std::vector<GForceEvent> events;
};

// `telemetryPath` may be empty (none). Plain function; safe on any thread.
RecordingFacts ReadRecordingFacts(const std::string& moviePath, const std::string& telemetryPath,
                                  const GForceThresholds& thresholds);

} // namespace quello
