#pragma once

#include "recordings/TelemetrySet.h"

#include <nlohmann/json.hpp>

#include <iosfwd>
#include <string>

namespace quello {

// Renderings of a loaded TelemetrySet for the command line. Pure functions of their inputs.

// {"loaded", "sampleCount", "fixCount", "samples": [[x,y,z],...], "fixes": [{...},...]} with
// exactly sampleCount samples and fixCount fixes, empty slots included.
nlohmann::ordered_json TelemetryJson(const TelemetrySet& set, bool loaded);

// One CSV row per second of video after a header row: second, the fix fields of that second,
// then x,y,z of its ten samples. Cells the file did not fill stay empty.
void WriteTelemetryCsv(std::ostream& out, const TelemetrySet& set);

// A GPX 1.1 document with one track of the fixes whose latitude and longitude are plain
// decimal numbers within range; a fix's date and time become the point's time when they read
// as YYYY/MM/DD HH:MM:SS. `trackName` is escaped.
void WriteTelemetryGpx(std::ostream& out, const TelemetrySet& set, const std::string& trackName);

// The fix's text field up to its terminator (or the end of the field).
std::string FixText(const char* field, std::size_t capacity);

} // namespace quello
