#pragma once

#include "TelemetrySet.h"

#include <string>

namespace quello {

// Zeroes `set`, then fills it from the telemetry text file at `path` ("[S]" G-sensor lines and
// "[G]" GPS lines). Returns false, leaving the set empty, when the path is shorter than 5
// characters or the file can't be opened as a regular file; true otherwise, even when no line
// was usable. A token longer than its field is cut to the field's width (always
// zero-terminated) and the line still counts. Allocates no heap memory.
// Plain function: safe on any thread for distinct sets.
bool ParseTelemetryFile(const std::string& path, TelemetrySet& set);

} // namespace quello
