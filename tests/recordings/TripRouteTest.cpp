#include "recordings/TripRoute.h"
#include "recordings/RecordingLibrary.h"
#include "recordings/RecordingTrip.h"
#include "recordings/TelemetryRoute.h"
#include "recordings/TelemetrySources.h"

#include "tests/support/MovieBytes.h"
#include "tests/support/NmeaText.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace quello {
namespace {

using test::CameraMovie;
using test::kSecondsFrom1904To1970;

void SetFix(GpsFix& fix, const char* latitude, const char* longitude) {
    std::strncpy(fix.latitude, latitude, sizeof fix.latitude - 1);
    std::strncpy(fix.longitude, longitude, sizeof fix.longitude - 1);
}

// Only fixes the sync would show, with plain decimal degrees on the globe, make the route; each
// point keeps the second its fix is shown at.
TEST(TelemetryRoute, KeepsUsableDecimalDegreesOnly) {
    const struct {
        const char *latitude, *longitude;
        bool kept;
        double lat, lon;
    } fixes[] = {
        {"22.616061", "114.055691", true, 22.616061, 114.055691},
        {"-33.86514", "-151.2099", true, -33.86514, -151.2099},
        {"+90.00000", "-180.0000", true, 90, -180},
        {"22.6160", "114.05", false, 0, 0}, // shorter than the sync's 7 characters
        {"22.6161", "114.055", true, 22.6161, 114.055},
        {"90.000001", "114.0000", false, 0, 0},
        {"22.616061", "180.00001", false, 0, 0},
        {"2.2e+0001", "114.05569", false, 0, 0},
        {"0x16.1000", "114.05569", false, 0, 0},
        {"nan.00000", "inf.00000", false, 0, 0},
        {"22.61.606", "114.05569", false, 0, 0},
        {"22.61 606", "114.05569", false, 0, 0},
        {"  22.6160", "114.0556 ", true, 22.616, 114.0556},
        {"-.5000000", "1234567.8", false, 0, 0},
    };
    auto set = std::make_unique<TelemetrySet>();
    for (const auto& f : fixes)
        SetFix(set->fixes[set->fixCount++], f.latitude, f.longitude);
    const std::vector<RoutePoint> route = RouteOf(*set);
    std::size_t next = 0;
    for (int i = 0; i < set->fixCount; ++i) {
        const auto& f = fixes[i];
        if (!f.kept)
            continue;
        ASSERT_LT(next, route.size()) << f.latitude;
        EXPECT_EQ(route[next].second, i + 1) << f.latitude;
        EXPECT_DOUBLE_EQ(route[next].latitude, f.lat) << f.latitude;
        EXPECT_DOUBLE_EQ(route[next].longitude, f.lon) << f.longitude;
        ++next;
    }
    EXPECT_EQ(next, route.size());
    set->fixCount = TelemetrySet::kMaxFixes + 5; // a count no parser writes stays in bounds
    EXPECT_EQ(RouteOf(*set).size(), route.size());
}

// Recordings join into a trip when one starts where the other ended (within 3 s), each once;
// a movie without a readable start or a gap of more ends it.
TEST(RecordingTrip, JoinsRecordingsThatFollowOnWithoutAGap) {
    test::TempDir dir;
    RecordingLibrary library;
    RecordingRow row;
    const struct {
        const char* name;
        std::uint64_t start;
        std::uint64_t milliseconds;
    } movies[] = {
        {"G", 900, 100000}, // 0: ends where A starts
        {"C", 1122, 60000}, // 1: two seconds after B's end
        {"A", 1000, 60000}, // 2
        {"E", 0, 0},        // 3: no header
        {"B", 1060, 59900}, // 4: ends at 1119 (whole seconds)
        {"D", 1186, 60000}, // 5: four seconds after C's end
        {"F", 1060, 60000}, // 6: B again, added later
        {"Z", 5000, 0},     // 7: no length, so no end to follow
        {"Y", 5000, 60000}, // 8: starts with Z
    };
    for (const auto& m : movies)
        ASSERT_TRUE(library.Add(
            dir.write(std::string(m.name) + ".MOV",
                      m.start ? CameraMovie(m.start + kSecondsFrom1904To1970, 1000, m.milliseconds)
                              : std::string("junk")),
            row));
    const std::pair<int, std::vector<int>> cases[] = {
        {2, {0, 2, 4, 1}}, {4, {0, 2, 4, 1}}, {6, {0, 2, 6, 1}}, {5, {5}}, {3, {3}},
        {7, {7}},          {8, {8}},          {9, {}},           {-1, {}},
    };
    for (const auto& [index, trip] : cases)
        EXPECT_EQ(FindTrip(library, index), trip) << index;
}

// A click lands on the nearest point of any recording of the trip, named by its library index
// as the library is at the time of the click.
TEST(TripRoute, ClickFindsTheRecordingAndSecondOfTheNearestFix) {
    test::TempDir dir;
    RecordingLibrary library;
    RecordingRow row;
    const auto add = [&](const char* name, std::uint64_t start, const std::string& fixes) {
        dir.write(std::string(name) + ".DAT", fixes);
        library.Add(dir.write(std::string(name) + ".MOV",
                              CameraMovie(start + kSecondsFrom1904To1970, 1000, 60000)),
                    row);
    };
    const auto fix = [](const char* lat, const char* lon) {
        return std::string("[G]\t2010/01/02\t03:04:05\tN") + lat + "\tE" + lon + "\t50\t90\n";
    };
    add("OTHER", 9000, fix("10.000000", "10.000000"));
    add("FIRST", 1000, fix("22.500000", "114.00000") + fix("22.510000", "114.01000"));
    add("SECOND", 1060, fix("22.600000", "114.10000") + fix("22.610000", "114.11000"));
    auto telemetry = std::make_unique<TelemetrySet>();
    SetFix(telemetry->fixes[0], "22.500000", "114.00000");
    SetFix(telemetry->fixes[1], "22.510000", "114.01000");
    telemetry->fixCount = 2;

    TripRoute route;
    route.Build(library, 1, *telemetry);
    route.SetOthers(TripRoute::LoadOthers(route.otherEntries(), SavedGpsOptions));
    ASSERT_EQ(route.current().size(), 2u);
    ASSERT_EQ(route.others().size(), 1u);
    EXPECT_EQ(route.others()[0].size(), 2u) << "read from the trip's other telemetry file";
    const struct {
        double lat, lon;
        int entry, second;
    } clicks[] = {{22.5101, 114.0099, 1, 2}, {22.4, 113.9, 1, 1}, {22.6099, 114.11, 2, 2}};
    for (const auto& c : clicks) {
        const auto target = route.Hit(library, c.lat, c.lon);
        ASSERT_TRUE(target) << c.lat;
        EXPECT_EQ(target->entry, c.entry) << c.lat;
        EXPECT_EQ(target->second, c.second) << c.lat;
    }
    ASSERT_TRUE(library.Remove(0)); // the others move up and are found again
    EXPECT_EQ(route.Hit(library, 22.61, 114.11)->entry, 1);
    ASSERT_TRUE(library.Remove(1));
    EXPECT_FALSE(route.Hit(library, 22.61, 114.11)) << "a recording no longer in the library";
    route.Clear();
    EXPECT_FALSE(route.Hit(library, 22.5, 114.0));
}

// The trip's other recordings are routed from every source the player would open them with
// (the camera's file, side GPX and NMEA logs, the GPX the user chose for the folder and the
// recording's offset) but GPS inside the movie; a click on them plays that recording.
TEST(TripRoute, OtherRecordingsAreRoutedFromTheirGpsFilesButNotTheMovie) {
    constexpr std::int64_t kStart = 1778924468; // 2026-05-16 09:41:08 UTC: A for 10 s, then B
    const auto gpx = [](const char* hour) {
        std::string text = "<gpx><trk><trkseg>";
        for (const char* at : {"19", "20"})
            text += std::string("<trkpt lat=\"40.77\" lon=\"-73.9") + at + "\"><time>2026-05-16T" +
                    hour + ":41:" + at + "Z</time></trkpt>";
        return text + "</trkseg></trk></gpx>";
    };
    const std::string nmea =
        test::NmeaSentence("GPRMC,094119.00,A,4046.200,N,07355.140,W,0.0,0.0,160526,,,A") +
        test::NmeaSentence("GPRMC,094120.00,A,4046.200,N,07355.200,W,0.0,0.0,160526,,,A");
    const std::string dat = "[G]\t2026/05/16\t09:41:19\tN40.770000\tW73.919000\t40\t0\n"
                            "[G]\t2026/05/16\t09:41:20\tN40.770000\tW73.920000\t40\t0\n";
    const std::string embedded =
        test::FreeGpsMovie(std::uint64_t(kStart + 10) + kSecondsFrom1904To1970, 10, 'J',
                           {{2026, 5, 16, 9, 41, 19, 'N', 'W', 4046.2f, 7355.14f, 0, 0, {}},
                            {2026, 5, 16, 9, 41, 20, 'N', 'W', 4046.2f, 7355.2f, 0, 0, {}}});
    const struct {
        const char* name;
        std::vector<std::pair<const char*, std::string>> files; // beside the movies
        std::vector<int> seconds;                               // B's route
    } cases[] = {
        {"camera's file", {{"B.DAT", dat}}, {1, 2}},
        {"side GPX", {{"B.gpx", gpx("09")}}, {2, 3}},
        {"side NMEA log", {{"B.nmea", nmea}}, {2, 3}},
        {"folder GPX and offset",
         {{"drive.gpx", gpx("10")},
          {".quello-gps", "folder-gpx\tdrive.gpx\noffset\tB.MOV\t-3600\n"}},
         {2, 3}},
        {"GPS in the movie", {{"B.MOV", embedded}}, {}},
    };
    const auto none = std::make_unique<TelemetrySet>();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        dir.write("B.MOV",
                  CameraMovie(std::uint64_t(kStart + 10) + kSecondsFrom1904To1970, 1000, 10000));
        for (const auto& [name, content] : c.files)
            dir.write(name, content);
        RecordingLibrary library;
        RecordingRow row;
        ASSERT_TRUE(library.Add(
            dir.write("A.MOV",
                      CameraMovie(std::uint64_t(kStart) + kSecondsFrom1904To1970, 1000, 10000)),
            row));
        ASSERT_TRUE(library.Add(dir.file("B.MOV"), row));
        TripRoute route;
        route.Build(library, 0, *none);
        ASSERT_EQ(route.others().size(), 1u);
        EXPECT_TRUE(route.others()[0].empty()) << "read apart, not while building";
        route.SetOthers(TripRoute::LoadOthers(route.otherEntries(), SavedGpsOptions));
        std::vector<int> seconds;
        const std::vector<std::vector<RoutePoint>> others = route.others();
        for (const RoutePoint& p : others[0])
            seconds.push_back(p.second);
        EXPECT_EQ(seconds, c.seconds);
        const auto target = route.Hit(library, 40.77, -73.92);
        EXPECT_EQ(target ? target->entry * 100 + target->second : -1,
                  c.seconds.empty() ? -1 : 100 + c.seconds.back());
    }
}

} // namespace
} // namespace quello
