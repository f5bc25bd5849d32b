#include "MovieThresholds.h"

#include "DeviceDrive.h"

namespace quello {

GForceThresholds ThresholdsForMovie(const std::string& moviePath) {
    if (const auto card = FindCardAbove(moviePath, 3))
        return ThresholdsForSensitivity(card->sensitivity(0), card->sensitivity(1),
                                        card->sensitivity(2));
    return {};
}

} // namespace quello
