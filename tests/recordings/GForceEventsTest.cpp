#include "recordings/GForceEvents.h"

#include <gtest/gtest.h>

#include <vector>

namespace quello {
namespace {

using Kind = GForceKind;
constexpr GSensorSample kCalm{10, -20, 1010};

// Each case: the samples (after one calm second) and the events expected, times relative to the
// first given sample.
TEST(GForceEvents, RunsAboveTheThresholdBecomeClassifiedEvents) {
    const GForceThresholds kDefault{};
    const struct {
        const char* name;
        std::vector<GSensorSample> samples;
        GForceThresholds thresholds;
        std::vector<GForceEvent> events;
    } cases[] = {
        {"calm, and exactly at the threshold",
         {kCalm, {400, 0, 1000}, {0, -400, 1400}},
         kDefault,
         {}},
        {"braking",
         {{-500, 0, 1000}, {-700, 30, 1000}, {-450, 0, 1000}, kCalm},
         kDefault,
         {{0, 0.1, 0.3, Kind::Braking, -0.7}}},
        {"acceleration then, after one calm sample, a left turn",
         {{600, 0, 1000}, kCalm, {0, -500, 1000}},
         kDefault,
         {{0, 0, 0.1, Kind::Acceleration, 0.6}, {0.2, 0.2, 0.3, Kind::LeftTurn, -0.5}}},
        {"right turn through the magnitude, running to the end",
         {{300, 310, 1000}},
         kDefault,
         {{0, 0, 0.1, Kind::RightTurn, 0.31}}},
        {"ties between axes go across the car",
         {{-600, 0, 1600}, kCalm, {0, 600, 1600}},
         kDefault,
         {{0, 0, 0.1, Kind::Braking, -0.6}, {0.2, 0.2, 0.3, Kind::RightTurn, 0.6}}},
        {"impact up and down",
         {{0, 0, 2500}, {0, 0, 100}},
         kDefault,
         {{0, 0, 0.2, Kind::Impact, 1.5}}},
        {"vertical test off",
         {{0, 0, 2500}, {-900, 0, 1000}},
         {0.4, 0},
         {{0.1, 0.1, 0.2, Kind::Braking, -0.9}}},
        {"the peak is the sample past its threshold most",
         {{0, 0, 1800}, {-550, 0, 1000}},
         {0.5, 0.7},
         {{0, 0, 0.2, Kind::Impact, 0.8}}},
    };
    for (const auto& c : cases) {
        std::vector<GSensorSample> samples(10, kCalm);
        samples.insert(samples.end(), c.samples.begin(), c.samples.end());
        const auto found = FindGForceEvents(samples.data(), int(samples.size()), c.thresholds);
        ASSERT_EQ(found.size(), c.events.size()) << c.name;
        for (std::size_t i = 0; i < found.size(); ++i) {
            const GForceEvent& want = c.events[i];
            EXPECT_DOUBLE_EQ(found[i].start, want.start + 1) << c.name;
            EXPECT_DOUBLE_EQ(found[i].peak, want.peak + 1) << c.name;
            EXPECT_DOUBLE_EQ(found[i].end, want.end + 1) << c.name;
            EXPECT_EQ(GForceKindName(found[i].kind), std::string(GForceKindName(want.kind)))
                << c.name;
            EXPECT_DOUBLE_EQ(found[i].peakG, want.peakG) << c.name;
        }
    }
    EXPECT_TRUE(FindGForceEvents(nullptr, 5, kDefault).empty());
    const GSensorSample first{-600, 0, 1000}; // an event from the very first sample
    EXPECT_EQ(FindGForceEvents(&first, 1, kDefault).size(), 1u);
}

TEST(GForceEvents, CardSensitivityLevelsGiveThresholds) {
    const struct {
        int x, y, z;
        double horizontal, vertical;
    } cases[] = {{10, 10, 10, 0.2, 0.2}, {5, 5, 7, 0.7, 0.5}, {0, 5, 0, 0.7, 0},
                 {1, 8, 1, 0.4, 1.1},    {0, 0, 0, 0, 0},     {12, -3, 10, 0.2, 0.2}};
    for (const auto& c : cases) {
        const GForceThresholds t = ThresholdsForSensitivity(c.x, c.y, c.z);
        EXPECT_NEAR(t.horizontal, c.horizontal, 1e-12) << c.x << "," << c.y << "," << c.z;
        EXPECT_NEAR(t.vertical, c.vertical, 1e-12) << c.x << "," << c.y << "," << c.z;
    }
}

// Jumps land 2 s before a peak and walk on when repeated from where the last one landed.
TEST(GForceEvents, NextAndPreviousWalkThroughTheEvents) {
    std::vector<GForceEvent> events(3);
    events[0].peak = 1.0; // jumps to 0
    events[1].peak = 12.7;
    events[2].peak = 30.0;
    const struct {
        double position;
        bool forward;
        std::optional<int> event;
    } cases[] = {{0.0, true, 1},   {10.7, true, 2},  {10.6, true, 1},
                 {28.0, true, {}}, {28.0, false, 1}, {10.7, false, 0},
                 {0.4, false, {}}, {100, false, 2},  {-1.0, true, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(NextEvent(events, c.position, c.forward), c.event)
            << c.position << (c.forward ? " forward" : " back");
    EXPECT_DOUBLE_EQ(EventJumpPoint(events[1]), 10.7);
}

} // namespace
} // namespace quello
