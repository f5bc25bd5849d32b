#pragma once

#include "TelemetryRoute.h"

#include <optional>
#include <string>
#include <vector>

namespace quello {

class RecordingLibrary;

// The routes of a recording's trip (see FindTrip): the current recording's from its loaded
// telemetry, the others' read from their telemetry files. Answers where a click on them lands.
// A plain value owned by the window's playback; not thread-safe.
class TripRoute {
public:
    // Rebuilds for library entry `current`, whose telemetry is `telemetry`; an index out of
    // range leaves no route at all.
    void Build(const RecordingLibrary& library, int current, const TelemetrySet& telemetry);
    void Clear();

    const std::vector<RoutePoint>& current() const;
    // The trip's other recordings' routes, in time order.
    std::vector<std::vector<RoutePoint>> others() const;

    struct Target {
        int entry = 0;  // the recording's index in the library as it is now
        int second = 0; // where to play it from
    };
    // The recording and second of the route point nearest to a click. Nothing when there is no
    // route, or when the recording has left the library since the routes were built.
    std::optional<Target> Hit(const RecordingLibrary& library, double latitude,
                              double longitude) const;

private:
    struct Member {
        int entry = 0;
        std::string moviePath; // finds the entry again when others moved up
        std::vector<RoutePoint> route;
    };
    std::vector<Member> m_members;
    int m_current = -1; // index into m_members
};

} // namespace quello
