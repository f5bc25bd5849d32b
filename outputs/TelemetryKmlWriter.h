#pragma once

#include "recordings/TelemetrySet.h"

#include <iosfwd>
#include <string>

namespace quello {

// A KML 2.2 document with one placemark named `trackName` whose line string runs through the
// fixes the GPX track holds (IsTrackCoordinate()), as "longitude,latitude,0" written as the
// file held them; one such fix gives a point instead, none a placemark without either. Names
// are written as XML text (AppendXmlText()), so any bytes give a well-formed document. UTF-8,
// lines end in LF.
//
// Pure function of its inputs; writes to out only, whose errors the caller checks.
void WriteTelemetryKml(std::ostream& out, const TelemetrySet& set, const std::string& trackName);

} // namespace quello
