// The card written by tools/make-demo-card (a CTest fixture writes it once), checked through
// the `quello` program the way a new user first meets it.
#include "ProgramRun.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <set>
#include <sstream>

namespace quello::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const std::string kCard = QUELLO_DEMO_CARD;

std::vector<std::string> Movies() {
    std::vector<std::string> movies;
    for (const auto& entry : fs::recursive_directory_iterator(kCard + "/DCIM")) {
        if (entry.path().extension() == ".MOV")
            movies.push_back(entry.path().string());
    }
    std::sort(movies.begin(), movies.end());
    return movies;
}

// `quello info` on every movie of the card, in path order.
json Info(const std::vector<std::string>& movies = Movies()) {
    std::vector<std::string> args{"info"};
    args.insert(args.end(), movies.begin(), movies.end());
    const ProgramResult r = RunQuello(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return json::parse(r.out);
}

std::int64_t Seconds(const std::string& text) {
    std::tm tm{};
    std::istringstream in(text);
    in >> std::get_time(&tm, "%Y-%m-%d %H:%M:%S");
    return timegm(&tm);
}

// Metres between two points (equirectangular: fine over a few hundred metres).
double Distance(double lat1, double lon1, double lat2, double lon2) {
    constexpr double kDeg = M_PI / 180.0;
    const double x = (lon2 - lon1) * kDeg * std::cos((lat1 + lat2) / 2 * kDeg);
    const double y = (lat2 - lat1) * kDeg;
    return std::hypot(x, y) * 6371000.0;
}

TEST(DemoCard, IsFoundAsTheCamerasCard) {
    const ProgramResult r = RunQuello({"card", "/nonexistent", kCard});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const json card = json::parse(r.out);
    EXPECT_EQ(card["root"], kCard + "/");
    EXPECT_EQ(card["resolutionIndex"], 0);
    EXPECT_GE(card["timeZone"].get<int>(), -12);
    EXPECT_LE(card["timeZone"].get<int>(), 12);
    for (const auto& s : card["sensitivity"])
        EXPECT_LE(s.get<int>(), 10);
}

TEST(DemoCard, MoviesFollowEachOtherWithTheirTelemetry) {
    const std::vector<std::string> movies = Movies();
    ASSERT_GE(movies.size(), 4u);
    ASSERT_LE(movies.size(), 6u);
    const json info = Info(movies);
    ASSERT_EQ(info.size(), movies.size());

    std::set<std::string> folders, telemetryFolders;
    int readOnly = 0, withoutTelemetry = 0;
    for (std::size_t i = 0; i < info.size(); ++i) {
        const json& m = info[i];
        SCOPED_TRACE(m["path"].get<std::string>());
        folders.insert(fs::path(movies[i]).parent_path().filename());
        ASSERT_TRUE(m["creationTime"].is_string());
        const int duration = m["durationSeconds"];
        EXPECT_GE(duration, 15);
        EXPECT_LE(duration, 40);
        if (i > 0) { // recorded back to back
            EXPECT_EQ(Seconds(m["creationTime"]), Seconds(info[i - 1]["creationTime"]) +
                                                      info[i - 1]["durationSeconds"].get<int>());
        }
        readOnly += m["readOnly"].get<bool>();
        if (m["telemetryPath"].is_null())
            ++withoutTelemetry;
        else
            telemetryFolders.insert(
                fs::path(m["telemetryPath"].get<std::string>()).parent_path().filename());
    }
    EXPECT_EQ(folders, (std::set<std::string>{"100MEDIA", "101MEDIA"}));
    EXPECT_EQ(readOnly, 1);
    EXPECT_EQ(withoutTelemetry, 1);
    EXPECT_TRUE(telemetryFolders.count("INFO"));
    EXPECT_GE(telemetryFolders.size(), 2u); // beside the movie as well
}

// Every telemetry file describes a drive a camera could have recorded: ten samples per
// second, fixes that move at the speed they report, and a hard stop somewhere.
TEST(DemoCard, TelemetryDescribesAPlausibleDrive) {
    int hardBrakes = 0;
    std::set<int> headings;
    int maxSpeed = 0;
    for (const json& m : Info()) {
        if (m["telemetryPath"].is_null())
            continue;
        SCOPED_TRACE(m["telemetryPath"].get<std::string>());
        const ProgramResult r = RunQuello({"telemetry", m["telemetryPath"]});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const json t = json::parse(r.out);
        const int duration = m["durationSeconds"];
        EXPECT_EQ(t["sampleCount"], duration * 10);
        EXPECT_EQ(t["fixCount"], duration + 1); // slot 0 stays empty: samples come first
        const json& fixes = t["fixes"];
        for (std::size_t i = 2; i < fixes.size(); ++i) {
            const double lat0 = std::stod(fixes[i - 1]["latitude"].get<std::string>());
            const double lon0 = std::stod(fixes[i - 1]["longitude"].get<std::string>());
            const double lat = std::stod(fixes[i]["latitude"].get<std::string>());
            const double lon = std::stod(fixes[i]["longitude"].get<std::string>());
            EXPECT_NEAR(lat, 40.76, 0.05); // Midtown Manhattan
            EXPECT_NEAR(lon, -73.98, 0.05);
            const int speed = fixes[i]["speed"];
            const int previous = fixes[i - 1]["speed"];
            EXPECT_NEAR(Distance(lat0, lon0, lat, lon), (speed + previous) / 2.0 / 3.6, 6.0);
            maxSpeed = std::max(maxSpeed, speed);
            headings.insert(fixes[i]["heading"].get<int>());
            if (previous - speed >= 20)
                ++hardBrakes;
        }
        int spike = 0;
        for (const auto& s : t["samples"]) {
            spike = std::max(spike, std::abs(s[0].get<int>()));
            EXPECT_NEAR(s[2].get<int>(), 1000, 400); // gravity on the vertical axis
        }
        if (spike > 500)
            ++hardBrakes;
    }
    EXPECT_EQ(hardBrakes, 2); // the speed drop and the G spike of the same stop
    EXPECT_GE(maxSpeed, 30);
    EXPECT_LE(maxSpeed, 60);
    EXPECT_TRUE(headings.count(209) && headings.count(299)); // down Fifth Avenue, then west
}

TEST(DemoCard, GpsLogConvertsToAReadableTrack) {
    std::vector<std::string> logs;
    for (const auto& entry : fs::recursive_directory_iterator(kCard)) {
        if (entry.path().extension() == ".log")
            logs.push_back(entry.path().string());
    }
    ASSERT_EQ(logs.size(), 1u);
    const TempDir out;
    const ProgramResult r = RunQuello({"kml", "--output", out.path(), logs[0]});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(r.out.rfind("OK ", 0), 0u);
    const std::string kml = r.out.substr(3, r.out.size() - 4);
    EXPECT_EQ(RunProgram({"/usr/bin/xmllint", "--noout", kml}).exitCode, 0);

    const ProgramResult back =
        RunProgram({"/usr/bin/gpsbabel", "-t", "-i", "kml", "-f", kml, "-o", "unicsv", "-F", "-"});
    ASSERT_EQ(back.exitCode, 0) << back.err;
    const std::string log = TempDir::read(logs[0]);
    const auto lines = std::count(log.begin(), log.end(), '\n');
    EXPECT_EQ(std::count(back.out.begin(), back.out.end(), '\n'), lines + 1); // + header
}

} // namespace
} // namespace quello::test
