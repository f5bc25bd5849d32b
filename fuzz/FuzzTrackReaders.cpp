// The GPX and NMEA readers on arbitrary bytes stored as side files of a movie, and what they
// read laid on a recording around the first point: every filled fix must be one the route and
// the sync accept, every empty slot empty.

#include "FuzzSupport.h"

#include "recordings/GpxTrackReader.h"
#include "recordings/NmeaTrackReader.h"
#include "recordings/TelemetryRoute.h"
#include "recordings/TrackPlacement.h"

#include <cmath>
#include <cstring>

using namespace quello;

namespace {

void CheckPlaced(const std::vector<TrackPoint>& points) {
    if (points.empty())
        return;
    // Too large for the stack of every run; placing zeroes it first anyway.
    static TelemetrySet set;
    std::memset(static_cast<void*>(&set), 0x5a, sizeof set);
    const TrackWindow window{std::int64_t(std::floor(points[0].utc)) - 3, 200, 0};
    PlaceTrack(points, window, set);
    if (set.fixCount < 0 || set.fixCount > 200 || set.sampleCount != 0)
        fuzz::Fail("counts out of range: " + std::to_string(set.fixCount) + " fixes, " +
                   std::to_string(set.sampleCount) + " samples");
    const GpsFix empty{};
    int positions = 0;
    for (int i = 0; i < TelemetrySet::kMaxFixes; ++i) {
        const GpsFix& fix = set.fixes[i];
        if (std::memcmp(&fix, &empty, sizeof fix) == 0 && set.speeds[i] == 0)
            continue;
        if (i >= set.fixCount || set.speeds[i] != fix.speed || fix.speed < 0 || fix.heading < 0 ||
            fix.heading > 359 || std::strlen(fix.dateTime) < 19 || std::strlen(fix.latitude) < 7 ||
            std::strlen(fix.longitude) < 7)
            fuzz::Fail("fix " + std::to_string(i) + " is not what the .DAT would hold");
        ++positions;
    }
    if (RouteOf(set).size() != std::size_t(positions))
        fuzz::Fail("a placed fix is left out of the route");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    NmeaTrack log;
    if (!ReadNmeaTrack(fuzz::WriteScratchFile("B.nmea", data, size), log))
        fuzz::Fail("a readable NMEA log was refused");
    if (!log.dated && !log.points.empty()) {
        // Undated: on the day of a recording starting a little before the first time of day.
        const std::int64_t day = 1778889600; // 2026-05-16
        PlaceTimesOfDay(log.points,
                        {day + std::int64_t(std::floor(log.points[0].utc)) - 3, 200, 0});
    }
    CheckPlaced(log.points);
    std::vector<TrackPoint> points;
    if (ReadGpxTrack(fuzz::WriteScratchFile("B.gpx", data, size), points))
        CheckPlaced(points);
    return 0;
}
