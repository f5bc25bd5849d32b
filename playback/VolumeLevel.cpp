#include "playback/VolumeLevel.h"

#include <algorithm>
#include <cmath>

namespace quello {

namespace {
constexpr int kSilence = -10000;
}

int VolumeLevelToGain(int level) {
    if (level == 0)
        return kSilence;
    const long long gain = static_cast<long long>(level) * 500 - 5000;
    return int(std::clamp<long long>(gain, kSilence, 0));
}

double GainToMpvVolume(int gain) {
    if (gain <= kSilence)
        return 0.0;
    return 100.0 * std::pow(10.0, std::min(gain, 0) / 6000.0);
}

int MpvVolumeToLevel(double volume, bool muted) {
    if (muted || !(volume > 0.0))
        return 0;
    const double gain = 6000.0 * std::log10(volume / 100.0);
    return int(std::clamp(std::lround((gain + 5000.0) / 500.0), 1L, 10L));
}

} // namespace quello
