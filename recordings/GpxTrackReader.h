#pragma once

#include "TrackPoint.h"

#include <string>
#include <vector>

namespace quello {

// Reads the track points of a GPX 1.0 or 1.1 file into `points` (replaced), in file order:
// every <trkpt> with a valid lat/lon and a <time>, with its <speed> (m/s) and <course> when
// given, directly or inside <extensions> (as track point extensions write them). Points without
// a time can't be placed on a recording and are left out. Returns false when the path is not a
// readable regular file or not well-formed XML up to its end (points read before the error are
// dropped: a truncated file is no track); true otherwise, also for a track without points.
// Never reads anything over the network nor expands external entities.
// Plain function: safe on any thread.
bool ReadGpxTrack(const std::string& path, std::vector<TrackPoint>& points);

// The UTC seconds of an XML time ("2026-05-16T09:41:08Z", a fraction and a "+hh:mm" zone
// allowed; no zone means UTC). False for any other text.
bool ParseXmlTime(const std::string& text, double& utc);

} // namespace quello
