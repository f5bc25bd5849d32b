#pragma once

#include "RecordingEntry.h"
#include "TelemetryRoute.h"
#include "TelemetrySources.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quello {

class RecordingLibrary;

// The routes of a recording's trip (see FindTrip): the current recording's from its loaded
// telemetry, at once; the others' loaded apart by LoadOthers() from copies of their entries, on
// a worker thread where their files are read, and handed in with SetOthers(). Answers where a
// click on them lands.
// A plain value owned by the window's playback; not thread-safe. LoadOthers() is a plain
// function, safe on any thread.
class TripRoute {
public:
    // Rebuilds for library entry `current`, whose telemetry is `telemetry`; the others' routes
    // stay empty until SetOthers(). An index out of range leaves no route at all.
    void Build(const RecordingLibrary& library, int current, const TelemetrySet& telemetry);
    void Clear();

    const std::vector<RoutePoint>& current() const;
    // The trip's other recordings' routes, in time order.
    std::vector<std::vector<RoutePoint>> others() const;

    // Copies of the trip's other recordings' entries, in time order, for LoadOthers().
    std::vector<RecordingEntry> otherEntries() const;

    // One recording's route, named by its movie.
    struct Loaded {
        std::string moviePath;
        std::vector<RoutePoint> route;
    };
    // The GPS options of a movie, as the player would use them to open it.
    using OptionsFor = std::function<GpsOptions(const std::string& moviePath)>;
    // Loads each entry's telemetry as LoadRecordingTelemetry() does with optionsFor(its movie)
    // (the camera's file, the user's GPX, the side files), except that GPS embedded in a movie
    // is never read: ExifTool takes seconds per movie, too long for routes drawn beside the
    // one playing, so a recording with only embedded GPS shows its route once it is opened.
    // Reads files: call it off the GUI thread.
    static std::vector<Loaded> LoadOthers(const std::vector<RecordingEntry>& entries,
                                          const OptionsFor& optionsFor);
    // Gives the other recordings of the trip the routes loaded for their movies; routes of
    // movies not among them are ignored.
    void SetOthers(const std::vector<Loaded>& routes);

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
        RecordingEntry recording; // its movie finds the entry again when others moved up
        std::vector<RoutePoint> route;
    };
    std::vector<Member> m_members;
    int m_current = -1; // index into m_members
};

} // namespace quello
