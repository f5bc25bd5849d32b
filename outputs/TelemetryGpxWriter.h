#pragma once

#include "recordings/TelemetrySet.h"

#include <iosfwd>
#include <string>

namespace quello {

// A GPX 1.1 document with one track of the fixes whose latitude and longitude are plain
// decimal numbers within range, written as the file held them (no precision lost); a fix's
// date and time become the point's time when they read as YYYY/MM/DD HH:MM:SS (or with '-' in
// the date), without a zone. `trackName` is written as XML text (see AppendXmlText()), so any
// bytes give a well-formed document. Lines end in LF.
//
// Pure function of its inputs; writes to out only, whose errors the caller checks.
void WriteTelemetryGpx(std::ostream& out, const TelemetrySet& set, const std::string& trackName);

// The same track of `count` fixes from any list, e.g. the fixes of a clip that joins several
// recordings.
void WriteGpxTrack(std::ostream& out, const GpsFix* fixes, int count, const std::string& trackName);

// Whether a fix's coordinate text goes into a track: a plain decimal number (optional '-',
// digits, optional '.' and digits) within [-limit, limit]. The GPX and KML tracks hold the
// same points by this one test. Pure function.
bool IsTrackCoordinate(const std::string& text, double limit);

} // namespace quello
