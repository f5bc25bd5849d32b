#include "playback/VolumeLevel.h"

#include <gtest/gtest.h>

namespace quello {
namespace {

// The volume slider's eleven levels in hundredths of a decibel (outside 0..10 clamped to the
// valid gains), the gains on libmpv's cubic volume scale, and libmpv's volume back to a level.
TEST(VolumeLevelTest, LevelsGainsAndMpvVolumes) {
    const struct {
        int level, gain;
    } levels[] = {{0, -10000}, {1, -4500},  {5, -2500},    {9, -500},   {10, 0},
                  {11, 0},     {-1, -5500}, {-20, -10000}, {1 << 30, 0}};
    for (const auto& c : levels)
        EXPECT_EQ(VolumeLevelToGain(c.level), c.gain) << "level " << c.level;
    const struct {
        int gain;
        double volume;
        int level; // read back from that volume
    } gains[] = {{0, 100.0, 10},      {-6000, 10.0, 1}, {-2500, 38.3119, 5},
                 {-4500, 17.7828, 1}, {-10000, 0.0, 0}, {500, 100.0, 10}};
    for (const auto& c : gains) {
        EXPECT_NEAR(GainToMpvVolume(c.gain), c.volume, 1e-3) << "gain " << c.gain;
        EXPECT_EQ(MpvVolumeToLevel(c.volume, c.volume <= 0.0), c.level) << "gain " << c.gain;
    }
    EXPECT_EQ(MpvVolumeToLevel(100.0, true), 0);   // muted
    EXPECT_EQ(MpvVolumeToLevel(130.0, false), 10); // libmpv allows some boost
    EXPECT_EQ(MpvVolumeToLevel(1.0, false), 1);    // quieter than level 1 yet audible
}

} // namespace
} // namespace quello
