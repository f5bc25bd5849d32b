#pragma once

#include <cstdint>
#include <string>

namespace quello {

// One recording of the library: a movie and its telemetry file (empty when none was
// found). UTF-8 paths; any length the file system accepts is kept whole. The movie's start
// and length come from its header when it was added.
struct RecordingEntry {
    std::string moviePath;
    std::string telemetryPath;
    bool hasStartTime = false;  // false when the header gave no creation time
    std::int64_t startTime = 0; // creation time as stored (seconds since 1970, no zone)
    std::uint32_t durationSeconds = 0;
};

} // namespace quello
