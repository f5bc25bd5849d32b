#pragma once

#include "TrackPoint.h"

#include <string>
#include <vector>

namespace quello {

// What an NMEA log holds: its fixes in the log's order, and whether any sentence gave a date.
// A plain value.
struct NmeaTrack {
    std::vector<TrackPoint> points;
    // False when the log gave no date at all: each point's utc then holds its time of day
    // alone (seconds since midnight UTC of a day the log doesn't say), for the caller to put
    // on a day it knows (see PlaceTimesOfDay()).
    bool dated = false;
};

// Reads the fixes of an NMEA 0183 log into `track` (replaced). Sentences count only with a
// correct checksum; RMC (with status A), GGA (with a fix), VTG and ZDA are used, from any talker
// (GP, GN, GL, ...), anything else on a line before the '$' is ignored. Sentences of one time of
// day make one point; VTG adds speed and course to the point before it.
//
// Dates come from RMC and from ZDA (a valid calendar date), each dating its own time of day; a
// ZDA without a position of its time dates the epochs around it but is no point. Where both
// date one time of day the first wins. Every other epoch takes the date of its nearest dated
// neighbour, before or after it, a day on or back where the time of day wraps past midnight;
// so a log dated only by a ZDA at its end is dated throughout. A log without any date gives its
// points by time of day, `dated` false.
// Returns false when the path is not a readable regular file of at most 64 MB, true otherwise.
// Plain function: safe on any thread.
bool ReadNmeaTrack(const std::string& path, NmeaTrack& track);

} // namespace quello
