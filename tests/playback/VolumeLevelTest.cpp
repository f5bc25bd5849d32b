#include "playback/VolumeLevel.h"

#include <gtest/gtest.h>

namespace quello {
namespace {

TEST(VolumeLevelTest, LevelsToHundredthsOfDecibel) {
    const struct {
        int level, gain;
    } cases[] = {{0, -10000},
                 {1, -4500},
                 {5, -2500},
                 {9, -500},
                 {10, 0},
                 // outside 0..10 the rule's result is clamped to the valid gains
                 {11, 0},
                 {-1, -5500},
                 {-20, -10000},
                 {1 << 30, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(VolumeLevelToGain(c.level), c.gain) << "level " << c.level;
}

TEST(VolumeLevelTest, GainOnCubicVolumeScale) {
    const struct {
        int gain;
        double volume;
    } cases[] = {{0, 100.0},       {-6000, 10.0}, {-2500, 38.3119},
                 {-4500, 17.7828}, {-10000, 0.0}, {500, 100.0}};
    for (const auto& c : cases)
        EXPECT_NEAR(GainToMpvVolume(c.gain), c.volume, 1e-3) << "gain " << c.gain;
}

TEST(VolumeLevelTest, EveryLevelReadsBack) {
    for (int level = 0; level <= 10; ++level) {
        const double volume = GainToMpvVolume(VolumeLevelToGain(level));
        EXPECT_EQ(MpvVolumeToLevel(volume, volume <= 0.0), level);
    }
    EXPECT_EQ(MpvVolumeToLevel(100.0, true), 0);
    EXPECT_EQ(MpvVolumeToLevel(130.0, false), 10); // libmpv allows some boost
    EXPECT_EQ(MpvVolumeToLevel(1.0, false), 1);    // quieter than level 1 yet audible
}

} // namespace
} // namespace quello
