#pragma once

#include "SeiMessage.h"

#include <vector>

namespace quello {

// The car's own signals for one second of a recording, from its SEI messages; kept beside a
// TelemetrySet (second i = fix i), which holds only what every camera records.
struct CarSecond {
    bool present = false; // a message covered this second
    int gear = SeiMessage::kPark;
    float acceleratorPedal = 0;
    float steeringAngle = 0; // degrees of the steering wheel
    bool leftBlinker = false;
    bool rightBlinker = false;
    bool brake = false;
    int assist = SeiMessage::kNoAssist;
};

// A plain value type, one entry per fix of its TelemetrySet.
struct CarSignals {
    std::vector<CarSecond> seconds;

    // The second on screen `position` seconds into the recording (whole seconds, rounded down,
    // a frame stamped a few milliseconds early counted in the next), as the window and the
    // overlay show it; null when no message covered it.
    const CarSecond* At(double position) const;

    // "park", "drive", "reverse", "neutral"; "unknown" for other values.
    static const char* GearName(int gear);
    // "none", "self-driving", "autosteer", "adaptive-cruise"; "unknown" for other values.
    static const char* AssistName(int assist);
};

} // namespace quello
