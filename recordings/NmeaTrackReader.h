#pragma once

#include "TrackPoint.h"

#include <string>
#include <vector>

namespace quello {

// Reads the fixes of an NMEA 0183 log into `points` (replaced), in the log's order. Sentences
// count only with a correct checksum; RMC (with status A), GGA (with a fix) and VTG are used,
// from any talker (GP, GN, GL, ...), anything else on a line before the '$' is ignored.
// Sentences of one time of day make one point; VTG adds speed and course to the point before
// it. GGA carries no date: its point takes the date of the nearest RMC, across midnight where
// the time of day wraps. A log without any valid RMC has no dates and gives no points.
// Returns false when the path is not a readable regular file of at most 64 MB, true otherwise.
// Plain function: safe on any thread.
bool ReadNmeaTrack(const std::string& path, std::vector<TrackPoint>& points);

} // namespace quello
