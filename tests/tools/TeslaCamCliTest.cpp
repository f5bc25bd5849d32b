// `quello telemetry` on a Tesla front clip from tools/make-teslacam: the car's signals per
// second beside the telemetry, in JSON and CSV.
#include "tests/support/ProgramRun.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace quello::test {
namespace {

TEST(TeslaCamCli, TelemetryPrintsTheCarsSignals) {
    const TempDir dir;
    const auto made = RunProgram({MAKE_TESLACAM, dir.path(), "--clip-seconds", "3", "--size",
                                  "160x120", "--fps", "30", "--cameras", "front", "--no-events"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const std::string clip =
        dir.path() + "/TeslaCam/RecentClips/2024-05-01/2024-05-01_10-00-00-front.mp4";

    const auto run = RunQuello({"telemetry", clip});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto doc = nlohmann::json::parse(run.out);
    EXPECT_EQ(doc["source"], "sei");
    ASSERT_EQ(doc["car"].size(), 3u);
    // The generator's drive at second 2: brake and right blinker on, autosteer.
    EXPECT_EQ(doc["car"][2], nlohmann::json::parse(R"({"gear": "drive", "pedal": 22.0,
        "steering": -6.0, "leftBlinker": false, "rightBlinker": true, "brake": true,
        "assist": "autosteer"})"));

    const auto csv = RunQuello({"telemetry", clip, "--format", "csv"});
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    EXPECT_NE(csv.out.find(",z9,gear,pedal,steering,leftBlinker,rightBlinker,brake,assist\n"),
              std::string::npos);
    EXPECT_NE(csv.out.find(",1000,drive,21,-8,1,0,0,self-driving\n"), std::string::npos) << csv.out;
}

// A drive imports moment by moment: the front camera's movie with the other cameras' movies
// and an event's event.json and thumb.png under its name, whichever folder holds them.
TEST(TeslaCamCli, ImportKeepsEachMomentsFilesTogether) {
    const TempDir dir;
    const auto made =
        RunProgram({MAKE_TESLACAM, dir.path() + "/car", "--minutes", "2", "--clip-seconds", "2",
                    "--size", "64x48", "--cameras", "front,back", "--no-sei"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const std::string library = dir.path() + "/library";
    const auto run = RunQuello({"import", dir.path() + "/car", "--to", library});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::string> files;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(library + "/2024/2024-05-01"))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    // The event copies of the recent clips come first: the recent ones are then stored already.
    std::vector<std::string> expected;
    for (const char* start : {"100000_2024-05-01_10-00-00", "100002_2024-05-01_10-00-02"})
        for (const char* ending : {"-back.mp4", "-front.json", "-front.mp4", "-front.png"})
            expected.push_back(std::string(start) + ending);
    EXPECT_EQ(files, expected) << run.out;
    EXPECT_NE(run.out.find("copied 8 files (2 recordings"), std::string::npos) << run.out;
}

} // namespace
} // namespace quello::test
