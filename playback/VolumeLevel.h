#pragma once

namespace quello {

// The player's volume levels 0..10 and libmpv's volume scale. Pure functions; any thread.

// Level 0 is silence (-10000 hundredths of a decibel); level n is n * 500 - 5000, so level 1
// is -4500 and level 10 is 0 (full volume). Gains are clamped to -10000..0.
int VolumeLevelToGain(int level);

// libmpv's volume for a gain in hundredths of a decibel: its scale is cubic (amplitude
// (v / 100)^3), so v = 100 * 10^(gain / 6000). -10000 (silence) gives 0: mute instead.
double GainToMpvVolume(int gain);

// The level that sets libmpv's volume closest to `volume`; 0 when muted or silent, otherwise
// 1..10.
int MpvVolumeToLevel(double volume, bool muted);

} // namespace quello
