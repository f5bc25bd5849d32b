#include "playback/VideoFit.h"

#include <gtest/gtest.h>

#include <ostream>

namespace quello {
namespace {

struct FitCase {
    int videoW, videoH, areaW, areaH;
    QRect expected;
};

void PrintTo(const FitCase& c, std::ostream* os) {
    *os << c.videoW << "x" << c.videoH << " in " << c.areaW << "x" << c.areaH;
}

class VideoFitTest : public testing::TestWithParam<FitCase> {};

TEST_P(VideoFitTest, CentresAndKeepsAspect) {
    const FitCase& c = GetParam();
    EXPECT_EQ(VideoFit(c.videoW, c.videoH, c.areaW, c.areaH), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Vectors, VideoFitTest,
                         testing::Values(
                             // 730 / 1.777... = 410.6, truncated; bars top and bottom
                             FitCase{1920, 1080, 730, 546, QRect(0, 68, 730, 410)},
                             // 4:3 is a little narrower than the area: bars left and right
                             FitCase{640, 480, 730, 546, QRect(1, 0, 728, 546)},
                             FitCase{320, 240, 320, 240, QRect(0, 0, 320, 240)},
                             FitCase{100, 400, 400, 400, QRect(150, 0, 100, 400)},
                             FitCase{1920, 1080, 1920, 1200, QRect(0, 60, 1920, 1080)},
                             // no usable video size: the whole area
                             FitCase{0, 0, 730, 546, QRect(0, 0, 730, 546)},
                             FitCase{1920, 0, 730, 546, QRect(0, 0, 730, 546)},
                             FitCase{-5, 480, 730, 546, QRect(0, 0, 730, 546)},
                             // an empty area stays empty
                             FitCase{1920, 1080, 0, 0, QRect(0, 0, 0, 0)}));

} // namespace
} // namespace quello
