// Front-camera clips from tools/make-teslacam (two 4 s clips at 30 fps, one more without SEI):
// the telemetry read from their SEI messages matches the drive model the generator wrote.
#include "cameras/SeiReader.h"
#include "cameras/SeiTelemetry.h"
#include "recordings/TelemetrySources.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace quello {
namespace {

class SeiClipTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new test::TempDir;
        for (const char* folder : {"with", "without"}) {
            std::vector<std::string> argv = {MAKE_TESLACAM,    s_dir->path() + "/" + folder,
                                             "--minutes",      "2",
                                             "--clip-seconds", "4",
                                             "--size",         "160x120",
                                             "--fps",          "30",
                                             "--cameras",      "front",
                                             "--no-events"};
            if (std::string(folder) == "without")
                argv.push_back("--no-sei");
            const auto made = test::RunProgram(argv);
            ASSERT_EQ(made.exitCode, 0) << made.err;
        }
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }
    static std::string Clip(const char* folder, const char* start) {
        return s_dir->path() + "/" + folder + "/TeslaCam/RecentClips/2024-05-01/" + start +
               "-front.mp4";
    }

    static test::TempDir* s_dir;
};

test::TempDir* SeiClipTest::s_dir = nullptr;

TEST_F(SeiClipTest, SecondClipReadsAsTheDriveModel) {
    SeiTelemetry::Register();
    auto set = std::make_unique<TelemetrySet>();
    GpsOptions options;
    options.embedded = false;
    options.offsetSeconds = 3600; // the car's clock needs no correction: not applied
    const TelemetryLoad load =
        LoadMovieTelemetry(Clip("with", "2024-05-01_10-00-04"), options, *set);
    SetMovieStreamTelemetry(nullptr);
    ASSERT_EQ(load.source, TelemetrySource::Sei);
    EXPECT_FALSE(load.offsetApplied);
    ASSERT_EQ(set->fixCount, 4);
    EXPECT_EQ(set->sampleCount, 40);

    // The model at t = 4 + second: speed 10 + t/2 m/s, brake in second 7, blinkers and
    // driver assistance by the second.
    const struct {
        const char* dateTime;
        const char* latitude;
        const char* longitude;
        int speed, heading;
        bool left, right, brake;
        int assist;
        float pedal, steering;
    } seconds[] = {
        {"2024/05/01 10:00:04", "37.000400", "-121.999200", 43, 40, false, false, false, 0, 24, -2},
        {"2024/05/01 10:00:05", "37.000500", "-121.999000", 45, 50, true, false, false, 1, 25, 0},
        {"2024/05/01 10:00:06", "37.000600", "-121.998800", 47, 60, false, true, false, 2, 26, 2},
        {"2024/05/01 10:00:07", "37.000700", "-121.998600", 49, 70, false, false, true, 3, 27, 4},
    };
    CarSignals car;
    RecordingEntry entry;
    entry.moviePath = Clip("with", "2024-05-01_10-00-04");
    auto again = std::make_unique<TelemetrySet>();
    ASSERT_TRUE(SeiTelemetry::Load(entry, *again, &car));
    ASSERT_EQ(car.seconds.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const GpsFix& f = set->fixes[i];
        EXPECT_EQ(FixText(f.dateTime), seconds[i].dateTime);
        EXPECT_EQ(FixText(f.latitude), seconds[i].latitude);
        EXPECT_EQ(FixText(f.longitude), seconds[i].longitude);
        EXPECT_EQ(f.speed, seconds[i].speed);
        EXPECT_EQ(set->speeds[i], seconds[i].speed);
        EXPECT_EQ(f.heading, seconds[i].heading);
        const CarSecond& c = car.seconds[std::size_t(i)];
        EXPECT_TRUE(c.present);
        EXPECT_EQ(c.gear, SeiMessage::kDrive);
        EXPECT_EQ(c.leftBlinker, seconds[i].left);
        EXPECT_EQ(c.rightBlinker, seconds[i].right);
        EXPECT_EQ(c.brake, seconds[i].brake);
        EXPECT_EQ(c.assist, seconds[i].assist);
        EXPECT_FLOAT_EQ(c.acceleratorPedal, seconds[i].pedal);
        EXPECT_FLOAT_EQ(c.steeringAngle, seconds[i].steering);
    }

    // Forward 1 m/s² (-3 braking in second 7), the car's leftward 0.5 (s % 3 - 1) m/s² to our
    // rightward axis, 1 g upwards at rest.
    const struct {
        int sample;
        GSensorSample g;
    } samples[] = {
        {0, {102, 0, 1000}},
        {15, {102, -51, 1000}},
        {25, {102, 51, 1000}},
        {39, {-306, 0, 1000}},
    };
    for (const auto& s : samples) {
        SCOPED_TRACE(s.sample);
        EXPECT_EQ(set->samples[s.sample].x, s.g.x);
        EXPECT_EQ(set->samples[s.sample].y, s.g.y);
        EXPECT_EQ(set->samples[s.sample].z, s.g.z);
    }
}

TEST_F(SeiClipTest, ReaderKeepsEveryFrameWithItsTime) {
    SeiTrack track;
    ASSERT_TRUE(SeiReader::Read(Clip("with", "2024-05-01_10-00-00"), track));
    ASSERT_EQ(track.records.size(), 120u);
    EXPECT_TRUE(track.hasCreationTime);
    EXPECT_EQ(track.creationTime, *SeiTelemetry::StartFromName("x/2024-05-01_10-00-00-front.mp4"));
    for (std::size_t i = 0; i < track.records.size(); ++i) {
        EXPECT_NEAR(track.records[i].seconds, i / 30.0, 1e-3) << i;
        EXPECT_EQ(track.records[i].message.frameSequence, i) << i;
    }
}

TEST_F(SeiClipTest, ClipWithoutSeiIsNoSource) {
    SeiTelemetry::Register();
    auto set = std::make_unique<TelemetrySet>();
    GpsOptions options;
    options.embedded = false;
    const TelemetryLoad load =
        LoadMovieTelemetry(Clip("without", "2024-05-01_10-00-04"), options, *set);
    SetMovieStreamTelemetry(nullptr);
    EXPECT_EQ(load.source, TelemetrySource::None);
    EXPECT_EQ(set->fixCount, 0);
    SeiTrack track;
    EXPECT_FALSE(SeiReader::Read(Clip("without", "2024-05-01_10-00-04"), track));
}

} // namespace
} // namespace quello
