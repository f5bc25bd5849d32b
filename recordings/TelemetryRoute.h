#pragma once

#include "TelemetrySet.h"

#include <optional>
#include <string_view>
#include <vector>

namespace quello {

// One point of a recording's route: the fix's position in decimal degrees and the second of
// the video whose sync tick shows that fix (fix i is shown from second i + 1 on).
struct RoutePoint {
    int second = 0;
    double latitude = 0;
    double longitude = 0;
};

// The route of a recording: every fix whose position the sync would show (both texts at least
// 7 characters) and whose texts are plain decimal degrees in range, in the fixes' order. A fix
// that fails either test is left out, never guessed at. Plain function; safe on any thread.
std::vector<RoutePoint> RouteOf(const TelemetrySet& telemetry);

// The point of one fix under the same tests, for the given second; nothing when the fix fails
// either.
std::optional<RoutePoint> RoutePointOf(const GpsFix& fix, int second);

// A plain decimal number as the camera writes its degrees ("22.616061", "-114.05"; blanks
// around allowed) within +-limit; nothing for any other text (exponents, hex, "nan", "inf",
// blanks inside, trailing junk).
std::optional<double> ParsePlainDecimal(std::string_view text, double limit);

// Where a click on routes lands: the index of the route and of the point nearest to the given
// position (distances on a local flat projection, which is exact enough within a drive).
// Nothing when every route is empty.
struct RouteHit {
    int route = 0;
    int point = 0;
};
std::optional<RouteHit> NearestRoutePoint(const std::vector<std::vector<RoutePoint>>& routes,
                                          double latitude, double longitude);

} // namespace quello
