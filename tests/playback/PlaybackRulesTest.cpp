// The engine's pure rules: the frame as a DIB, the picture's letterbox, the volume scale. The
// DIB is written as JPEG only by the engine, from its own 32-bit captures: its capture test and
// `quello snapshot` meet that.
#include "playback/FrameDib.h"
#include "playback/VideoFit.h"
#include "playback/VolumeLevel.h"

#include <QRect>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <tuple>
#include <vector>

namespace quello {
namespace {

// The engine's captures cover the packing at its usual stride; this covers padded rows.
TEST(FrameDib, PacksBottomUpWithHeaderWhateverTheStride) {
    const unsigned char rows[3][4] = {{255, 0, 0, 0xAA}, {0, 0, 255, 0xAA}, {0, 255, 0, 0xAA}};
    for (std::size_t stride : {16u, 64u}) {
        std::vector<unsigned char> frame(stride * 3, 0xEE); // 4 x 3 top-down: blue, red, green
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                std::memcpy(&frame[stride * y + 4 * x], rows[y], 4);
        std::vector<unsigned char> dib(PackedDibSize(4, 3));
        ASSERT_EQ(dib.size(), 40u + 4 * 3 * 4);
        ASSERT_TRUE(PackDib(frame.data(), 4, 3, stride, dib.data(), int(dib.size())));
        std::int32_t header[6]; // biSize .. biSizeImage; a positive height is bottom-up
        std::memcpy(header, dib.data(), sizeof header);
        EXPECT_THAT(header, testing::ElementsAre(40, 4, 3, 1 | 32 << 16, 0, 48));
        EXPECT_THAT(std::vector(dib.begin() + 40, dib.begin() + 44), // green, fourth byte 0
                    testing::ElementsAre(0, 255, 0, 0));
        EXPECT_THAT(std::vector(dib.end() - 4, dib.end()), testing::ElementsAre(255, 0, 0, 0));
    }
    std::vector<unsigned char> frame(16 * 3), dib(200);
    EXPECT_FALSE(PackDib(frame.data(), 4, 3, 16, dib.data(), PackedDibSize(4, 3) - 1));
    EXPECT_FALSE(PackDib(frame.data(), 4, 3, 12, dib.data(), 200)); // stride too short
    EXPECT_FALSE(PackDib(frame.data(), 0, 3, 16, dib.data(), 200));
    EXPECT_EQ(PackedDibSize(-1, 3), 0);
    EXPECT_EQ(PackedDibSize(100000, 100000), 0); // more than an int holds
}

TEST(VideoFit, CentresAndKeepsAspect) {
    // Video width and height, area width and height, the rectangle the picture takes.
    const std::pair<std::array<int, 4>, QRect> cases[] = {
        {{1920, 1080, 730, 546}, {0, 68, 730, 410}}, // 730 / 1.777... = 410.6, truncated
        {{640, 480, 730, 546}, {1, 0, 728, 546}},    // a little narrower: bars left and right
        {{320, 240, 320, 240}, {0, 0, 320, 240}},
        {{100, 400, 400, 400}, {150, 0, 100, 400}},
        {{1920, 1080, 1920, 1200}, {0, 60, 1920, 1080}},
        {{0, 0, 730, 546}, {0, 0, 730, 546}}, // no usable video size: the whole area
        {{1920, 0, 730, 546}, {0, 0, 730, 546}},
        {{-5, 480, 730, 546}, {0, 0, 730, 546}},
        {{1920, 1080, 0, 0}, {0, 0, 0, 0}}, // an empty area stays empty
    };
    for (const auto& [v, expected] : cases)
        EXPECT_EQ(VideoFit(v[0], v[1], v[2], v[3]), expected)
            << v[0] << "x" << v[1] << " in " << v[2] << "x" << v[3];
}

// The volume slider's eleven levels in hundredths of a decibel (outside 0..10 clamped to the
// valid gains), the gains on libmpv's cubic volume scale, and libmpv's volume back to a level.
TEST(VolumeLevel, LevelsGainsAndMpvVolumes) {
    const std::pair<int, int> levels[] = {{0, -10000}, {1, -4500},    {5, -2500},
                                          {9, -500},   {10, 0},       {11, 0},
                                          {-1, -5500}, {-20, -10000}, {1 << 30, 0}};
    for (const auto& [level, gain] : levels)
        EXPECT_EQ(VolumeLevelToGain(level), gain) << "level " << level;
    // A gain, its volume, the level read back from that volume.
    const std::tuple<int, double, int> gains[] = {{0, 100.0, 10},      {-6000, 10.0, 1},
                                                  {-2500, 38.3119, 5}, {-4500, 17.7828, 1},
                                                  {-10000, 0.0, 0},    {500, 100.0, 10}};
    for (const auto& [gain, volume, level] : gains) {
        EXPECT_NEAR(GainToMpvVolume(gain), volume, 1e-3) << "gain " << gain;
        EXPECT_EQ(MpvVolumeToLevel(volume, volume <= 0.0), level) << "gain " << gain;
    }
    EXPECT_EQ(MpvVolumeToLevel(100.0, true), 0);   // muted
    EXPECT_EQ(MpvVolumeToLevel(130.0, false), 10); // libmpv allows some boost
    EXPECT_EQ(MpvVolumeToLevel(1.0, false), 1);    // quieter than level 1 yet audible
}

} // namespace
} // namespace quello
