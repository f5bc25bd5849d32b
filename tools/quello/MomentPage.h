#pragma once

#include "outputs/PrintPage.h"

#include <functional>
#include <iosfwd>
#include <string>

namespace quello {

class CMediaGraph;
struct MovieMoment;
struct TelemetrySet;

// The printed page of one moment, assembled the way the player does, with `telemetry` the
// movie's from the source the player takes (LoadMovieTelemetry() with GpsOptionsForMovie()): the
// waveform strip
// at the window's size with the time axis from the movie header's creation time and the cursor and
// playing second a sync tick at `seconds` would set, then the page as the print command captures it
// from `graph`, which shows the moment. GUI thread.
PrintPageContent CaptureMomentPage(CMediaGraph& graph, const std::string& movie, double seconds,
                                   const TelemetrySet& telemetry);

// The body of a helper program that draws one moment (`command` names it in messages): starts
// Qt on the offscreen platform with Qt's own notes silenced (a failure is reported in the
// helper's one line), opens `moment` in an engine, loads the telemetry of the moment's main
// camera's movie as the player does (the movie given may be another camera's), captures the
// page and hands all three to `use`. Returns the open's exit code when it
// fails, else what `use` returns. Call from the main thread, at most once.
using MomentPageUse = std::function<int(CMediaGraph& graph, const PrintPageContent& page,
                                        const TelemetrySet& telemetry)>;
int RunOnMomentPage(int argc, char** argv, const MovieMoment& moment, const char* command,
                    std::ostream& err, const MomentPageUse& use);

} // namespace quello
