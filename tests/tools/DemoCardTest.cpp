// The card written by tools/make-demo-card (see tests/support/DemoCard.cmake), met through the
// `quello` program the way a new user first meets it: found as the camera's card, movies back
// to back with their telemetry, and a GPS log that converts.
#include "tests/support/ProgramRun.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <iomanip>
#include <sstream>

namespace quello::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const std::string kCard = QUELLO_DEMO_CARD;

std::int64_t Seconds(const json& text) {
    std::tm tm{};
    std::istringstream in(text.get<std::string>());
    in >> std::get_time(&tm, "%Y-%m-%d %H:%M:%S");
    return timegm(&tm);
}

TEST(DemoCard, OpensInEveryCommand) {
    const ProgramResult card = RunQuello({"card", "/nonexistent", kCard});
    ASSERT_EQ(card.exitCode, 0) << card.err;
    EXPECT_EQ(json::parse(card.out)["root"], kCard + "/");

    std::vector<std::string> args{"info"}, logs;
    for (const auto& entry : fs::recursive_directory_iterator(kCard))
        (entry.path().extension() == ".log" ? logs : args).push_back(entry.path().string());
    std::erase_if(args, [](const std::string& a) { return a != "info" && !a.ends_with(".MOV"); });
    std::sort(args.begin() + 1, args.end());
    ASSERT_EQ(args.size(), 6u);
    const ProgramResult info = RunQuello(args);
    ASSERT_EQ(info.exitCode, 0) << info.err;
    const json movies = json::parse(info.out);
    std::set<std::string> telemetryFolders;
    int readOnly = 0, withoutTelemetry = 0;
    for (std::size_t i = 0; i < movies.size(); ++i) {
        const json& m = movies[i];
        SCOPED_TRACE(m["path"].get<std::string>());
        if (i > 0) { // recorded back to back
            EXPECT_EQ(Seconds(m["creationTime"]), Seconds(movies[i - 1]["creationTime"]) +
                                                      movies[i - 1]["durationSeconds"].get<int>());
        }
        readOnly += m["readOnly"].get<bool>();
        if (m["telemetryPath"].is_null()) {
            ++withoutTelemetry;
            continue;
        }
        const std::string dat = m["telemetryPath"];
        telemetryFolders.insert(fs::path(dat).parent_path().filename());
        const json t = json::parse(RunQuello({"telemetry", dat}).out);
        EXPECT_EQ(t["sampleCount"], m["durationSeconds"].get<int>() * 10);
        EXPECT_EQ(t["fixCount"], m["durationSeconds"].get<int>() + 1); // slot 0 stays empty
    }
    EXPECT_EQ(readOnly, 1);
    EXPECT_EQ(withoutTelemetry, 1);
    EXPECT_EQ(telemetryFolders, (std::set<std::string>{"100MEDIA", "101MEDIA", "INFO"}));

    // The GPS log of the drive reads back through gpsbabel, one point a line.
    ASSERT_EQ(logs.size(), 1u);
    const TempDir out;
    const ProgramResult kml = RunQuello({"kml", "--output", out.path(), logs[0]});
    ASSERT_EQ(kml.exitCode, 0) << kml.err;
    const ProgramResult back =
        RunProgram({"gpsbabel", "-t", "-i", "kml", "-f", kml.out.substr(3, kml.out.size() - 4),
                    "-o", "unicsv", "-F", "-"});
    ASSERT_EQ(back.exitCode, 0) << back.err;
    const std::string log = TempDir::read(logs[0]);
    EXPECT_EQ(std::count(back.out.begin(), back.out.end(), '\n'),
              std::count(log.begin(), log.end(), '\n') + 1); // + header
}

} // namespace
} // namespace quello::test
