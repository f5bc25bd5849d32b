#include "CarSignals.h"

#include <cmath>

namespace quello {

const CarSecond* CarSignals::At(double position) const {
    // A frame's time in the movie's ticks may fall a little short of the whole second it stands
    // for (1.99998 s for the frame at 2 s): such a frame still shows its second. 10 ms is less
    // than half a frame at up to 50 frames a second.
    const double at = position + 0.01;
    // The negated test also turns NaN away.
    if (!(at >= 0 && at < double(seconds.size())))
        return nullptr;
    const CarSecond& second = seconds[std::size_t(std::floor(at))];
    return second.present ? &second : nullptr;
}

const char* CarSignals::GearName(int gear) {
    switch (gear) {
    case SeiMessage::kPark:
        return "park";
    case SeiMessage::kDrive:
        return "drive";
    case SeiMessage::kReverse:
        return "reverse";
    case SeiMessage::kNeutral:
        return "neutral";
    default:
        return "unknown";
    }
}

const char* CarSignals::AssistName(int assist) {
    switch (assist) {
    case SeiMessage::kNoAssist:
        return "none";
    case SeiMessage::kSelfDriving:
        return "self-driving";
    case SeiMessage::kAutosteer:
        return "autosteer";
    case SeiMessage::kAdaptiveCruise:
        return "adaptive-cruise";
    default:
        return "unknown";
    }
}

} // namespace quello
