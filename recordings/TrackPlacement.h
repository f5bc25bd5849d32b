#pragma once

#include "TelemetrySet.h"
#include "TrackPoint.h"

#include <cstdint>
#include <vector>

namespace quello {

// Where a recording lies in time: its start as the camera's clock stored it (seconds since
// 1970, read as UTC), its length, and the user's correction for a camera whose clock is off or
// runs on local time.
struct TrackWindow {
    std::int64_t start = 0;
    std::uint32_t durationSeconds = 0;
    std::int64_t offsetSeconds = 0;
};

// Zeroes `set`, then lays `points` (any order) on the recording as the camera's telemetry file
// would: the point taken at UTC t belongs to second slot = floor(t - start + offset), kept when
// 0 <= slot < min(durationSeconds, kMaxFixes). Within a slot the earliest point wins, which is
// also the one nearest to the slot's start. Slots no point reached stay empty (a tunnel stays a
// gap, nothing is guessed), and fixCount is the last filled slot + 1.
//
// A fix's texts are those the telemetry file gives for the same position: "yyyy/mm/dd hh:mm:ss"
// of start + slot (the camera's clock, not the source's), and six-decimal degrees with "-" for
// south and west. Speed (km/h) and course (0..359) are rounded; where the source gave none they
// come from the great-circle way to the point before (for the first point, to the one after),
// and a point that did not move keeps the course before it.
//
// Acceleration readings fill the 10-per-second samples the same way (slot = floor(10 (t - start
// + offset)) within min(10 durationSeconds, kMaxSamples)), each held until the next reading but
// at most one second; sampleCount is where the last hold ends.
//
// Returns whether any fix or sample was placed. Plain function: safe on any thread.
bool PlaceTrack(const std::vector<TrackPoint>& points, const TrackWindow& window,
                TelemetrySet& set);

// Puts points known only by their time of day (utc holding seconds since midnight UTC, as an
// undated NMEA log gives them) on the recording's own date. The recording spans
// [start - offset, start - offset + durationSeconds) in UTC; a point lands on the midnight that
// span starts in, or on the next one when the span crosses midnight and the point's time falls
// in its part after it. A point that falls outside the span either way keeps the first day, for
// PlaceTrack() to drop. Plain function: safe on any thread.
void PlaceTimesOfDay(std::vector<TrackPoint>& points, const TrackWindow& window);

} // namespace quello
