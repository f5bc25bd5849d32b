#pragma once

#include "imaging/SnapshotFacts.h"

#include <ctime>

namespace quello {

struct TelemetrySet;

// The facts of the frame `positionSeconds` into a recording, for every writer of a saved frame
// (the window's snapshot, `quello snapshot`, the evidence export).
//
// - taken: `created` (the movie header's creation time, the camera's clock as stored) plus the
//   whole seconds of the position, the fraction as milliseconds; only when `hasCreated`. The
//   camera records its local time and no offset, and the card's time-zone setting may have
//   changed since: the clock is passed on as stored, never shifted to another zone.
// - fix: the fix the player's read-outs show for that second (fix i from second i + 1 on, so
//   none in the first second or past the telemetry) when its position is usable by the route's
//   rules (RoutePointOf); speed and heading come with it.
// A negative or non-finite position counts as the start. Plain function: safe on any thread.
SnapshotFacts FactsForMoment(const std::tm& created, bool hasCreated, double positionSeconds,
                             const TelemetrySet& telemetry);

} // namespace quello
