#include "CarSignals.h"

namespace quello {

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
