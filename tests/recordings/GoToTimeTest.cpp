#include "recordings/GoToTime.h"

#include <gtest/gtest.h>

namespace quello {
namespace {

// A 60-second recording that starts at 09:41:07 by the camera's clock, and one across midnight.
TEST(GoToTime, ClockTimesAndPositions) {
    constexpr int kStart = 9 * 3600 + 41 * 60 + 7;
    const struct {
        const char* text;
        int start;
        std::optional<double> at;
    } cases[] = {
        {"09:41:22", kStart, 15},   {" 9:41:07 ", kStart, 0}, {"09:42:07", kStart, 60},
        {"09:42:08", kStart, {}},   {"09:41:06", kStart, {}}, {"00:00:10", 86390, 20},
        {"0:45.3", kStart, 45.3},   {"0:59", kStart, 59},     {"0:60", kStart, {}},
        {"1:05.3", kStart, {}},     {"59.5", kStart, 59.5},   {"-1", kStart, {}},
        {"1:-5", kStart, {}},       {"24:00:00", kStart, {}}, {"9:41", kStart, {}},
        {"", kStart, {}},           {"1e1", kStart, {}},      {"1:2:3:4", kStart, {}},
        {"0:0x1", kStart, {}},      {"::05", 0, {}},          {"009:41:22", kStart, {}},
        {"09:41:22.5", kStart, {}},
    };
    for (const auto& c : cases) {
        const auto at = ParseGoToTime(c.text, c.start, 60.0);
        ASSERT_EQ(at.has_value(), c.at.has_value()) << c.text;
        if (at) {
            EXPECT_DOUBLE_EQ(*at, *c.at) << c.text;
        }
    }
}

} // namespace
} // namespace quello
