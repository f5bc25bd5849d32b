#pragma once

#include "GSensorSample.h"

#include <optional>
#include <string>
#include <vector>

namespace quello {

// The kinds of moment a driver looks for. The G-sensor's axes, as the camera mounts it: x points
// forward (braking reads negative), y to the right (a right turn pushes the car to the right and
// reads positive), z up (1 g at rest).
enum class GForceKind { Braking, Acceleration, LeftTurn, RightTurn, Impact };

// "braking", "acceleration", "left turn", "right turn", "impact".
const char* GForceKindName(GForceKind kind);

// Thresholds in g: horizontal against the magnitude of (x, y), vertical against z's distance
// from 1 g. Zero or less turns that test off.
struct GForceThresholds {
    double horizontal = 0.4;
    double vertical = 0.4;
};

// The thresholds a card's G-sensor sensitivity levels ask for (X, Y, Z; 0..10, the camera's
// setting): level L gives 0.2 g + 0.1 g x (10 - L), so the camera's most sensitive level 10
// flags 0.2 g and level 1 only 1.1 g; level 0 (sensor off) turns that test off. The horizontal
// threshold follows the more sensitive of X and Y. Levels out of range are clamped.
GForceThresholds ThresholdsForSensitivity(int x, int y, int z);

// One event: the samples in a row above a threshold. Times in seconds of the recording.
struct GForceEvent {
    double start = 0; // the first sample above
    double peak = 0;  // the strongest sample
    double end = 0;   // the end of the last sample above (its start + 0.1 s)
    GForceKind kind = GForceKind::Impact;
    double peakG = 0; // the strongest sample's reading on its dominant axis, in g (0 g at rest)
};

// Finds the events in `count` samples (ten a second, thousandths of a g). The kind comes from
// the peak's dominant axis: x (braking or acceleration by its sign), y (left or right turn) or z
// (impact). Plain function; safe on any thread.
std::vector<GForceEvent> FindGForceEvents(const GSensorSample* samples, int count,
                                          const GForceThresholds& thresholds);

// The event to jump to from `position` (seconds): the first whose jump point (2 s before its
// peak, not before 0) lies after position + 0.05 s when `forward`, else the last whose jump point
// lies before position - 0.5 s, so that a repeated key walks on rather than landing on the
// same event. Returns its index.
inline constexpr double kEventLeadSeconds = 2.0;
double EventJumpPoint(const GForceEvent& event);
std::optional<int> NextEvent(const std::vector<GForceEvent>& events, double position, bool forward);

} // namespace quello
