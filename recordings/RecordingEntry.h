#pragma once

#include <string>

namespace quello {

// One recording of the library: a movie and its telemetry file (empty when none was
// found). UTF-8 paths; any length the file system accepts is kept whole.
struct RecordingEntry {
    std::string moviePath;
    std::string telemetryPath;
};

} // namespace quello
