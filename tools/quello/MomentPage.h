#pragma once

#include "outputs/PrintPage.h"

#include <string>

namespace quello {

class CMediaGraph;
struct TelemetrySet;

// The printed page of one moment, assembled the way the player does, with `telemetry` the
// movie's from the source the player takes (LoadMovieTelemetry() with GpsOptionsForMovie()): the
// waveform strip
// at the window's size with the time axis from the movie header's creation time and the cursor and
// playing second a sync tick at `seconds` would set, then the page as the print command captures it
// from `graph`, which shows the moment. GUI thread.
PrintPageContent CaptureMomentPage(CMediaGraph& graph, const std::string& movie, double seconds,
                                   const TelemetrySet& telemetry);

} // namespace quello
