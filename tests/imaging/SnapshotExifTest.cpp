#include "imaging/JpegWriter.h"
#include "outputs/MomentFacts.h"
#include "recordings/TelemetrySet.h"

#include "quello/Version.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace quello {
namespace {

using nlohmann::json;
using test::RunProgram;
using test::TempDir;

// The tags a saved frame may carry, as exiftool reads them back (-n: numbers, not prose;
// latitude and longitude as stored, without the sign of their refs).
json ReadExif(const std::string& path) {
    std::vector<std::string> args{"exiftool", "-j", "-n"};
    for (const char* tag :
         {"Make", "Model", "Software", "Orientation", "ExifImageWidth", "ExifImageHeight",
          "DateTimeOriginal", "ModifyDate", "SubSecTimeOriginal", "GPSVersionID", "GPSLatitudeRef",
          "GPS:GPSLatitude", "GPSLongitudeRef", "GPS:GPSLongitude", "GPSSpeedRef", "GPSSpeed",
          "GPSImgDirectionRef", "GPSImgDirection"})
        args.push_back(std::string("-") + tag);
    args.push_back(path);
    const auto r = RunProgram(args);
    json tags = json::parse(r.out).at(0);
    tags.erase("SourceFile");
    return tags;
}

// A tag's value as text ("" when absent); exiftool gives "500" as a number, "000" as a string.
std::string Text(const json& tags, const char* key) {
    if (!tags.contains(key))
        return "";
    const json& value = tags[key];
    return value.is_string() ? value.get<std::string>() : value.dump();
}

// Degrees rounded as the camera writes them.
std::string SixDecimals(const json& tags, const char* key) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", tags.value(key, -1.0));
    return text;
}

// The fixes as the telemetry parser stores them. Fix i is shown from second i + 1 on; the one
// past fixCount holds a fine position that must never be used.
std::unique_ptr<TelemetrySet> Telemetry() {
    struct Line {
        const char *latitude, *longitude;
        int speed, heading;
    };
    const Line lines[] = {{"22.616061", "114.052123", 57, 90},
                          {"-33.868820", "-151.209296", 0, 360},
                          {"22.61", "114.05", 30, 10}, // too short to be a position
                          {"22.6160x1", "114.052123", 30, 10},
                          {"1.000000", "2.000000", 30, 10}};
    auto telemetry = std::make_unique<TelemetrySet>();
    for (int i = 0; i < 5; ++i) {
        std::strcpy(telemetry->fixes[i].latitude, lines[i].latitude);
        std::strcpy(telemetry->fixes[i].longitude, lines[i].longitude);
        telemetry->fixes[i].speed = lines[i].speed;
        telemetry->fixes[i].heading = lines[i].heading;
    }
    telemetry->fixCount = 4;
    return telemetry;
}

// The camera's clock runs on from the header's creation time by the position, across midnight
// and the year as it stands; the GPS tags are those of the fix the read-outs show for that
// second, or none at all.
TEST(SnapshotExif, CarriesTheMomentsClockAndItsFixAsExiftoolReadsThem) {
    const struct {
        const char* name;
        bool hasCreated;
        double position;
        const char* taken;  // DateTimeOriginal and DateTime; "": none
        const char* subSec; // SubSecTimeOriginal
        // Latitude ref and value, longitude ref and value, speed ref and value, direction ref
        // and value; empty: no GPS tag at all.
        std::vector<std::string> gps;
    } cases[] = {
        {"first second: no fix shown yet", true, 0.999, "2025:12:31 23:59:58", "999", {}},
        {"north and east",
         true,
         1.5,
         "2025:12:31 23:59:59",
         "500",
         {"N", "22.616061", "E", "114.052123", "K", "57", "T", "90"}},
        {"south and west into the new year, heading 360",
         true,
         2.25,
         "2026:01:01 00:00:00",
         "250",
         {"S", "33.868820", "W", "151.209296", "K", "0", "T", "0"}},
        {"fix without a position", true, 3.0, "2026:01:01 00:00:01", "000", {}},
        {"fix whose position is no number", true, 4.0, "2026:01:01 00:00:02", "000", {}},
        {"past the telemetry", true, 5.0, "2026:01:01 00:00:03", "000", {}},
        {"no creation time",
         false,
         1.5,
         "",
         "",
         {"N", "22.616061", "E", "114.052123", "K", "57", "T", "90"}},
    };
    std::tm created{};
    created.tm_year = 2025 - 1900;
    created.tm_mon = 11;
    created.tm_mday = 31;
    created.tm_hour = 23;
    created.tm_min = 59;
    created.tm_sec = 58;
    const auto telemetry = Telemetry();
    const std::vector<unsigned char> pixels(40 * 30 * 4, 0x60);
    const TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file("frame.jpg");
        ASSERT_EQ(WriteJpeg(pixels.data(), 40, 30, path, 32,
                            FactsForMoment(created, c.hasCreated, c.position, *telemetry)),
                  1);
        const json tags = ReadExif(path);
        EXPECT_EQ(Text(tags, "Software"), std::string("Quello Player ") + kVersion);
        EXPECT_EQ(Text(tags, "Orientation") + " " + Text(tags, "ExifImageWidth") + "x" +
                      Text(tags, "ExifImageHeight"),
                  "1 40x30");
        EXPECT_EQ(Text(tags, "Make") + Text(tags, "Model"), "");
        EXPECT_EQ(Text(tags, "DateTimeOriginal"), c.taken);
        EXPECT_EQ(Text(tags, "ModifyDate"), c.taken);
        EXPECT_EQ(Text(tags, "SubSecTimeOriginal"), c.subSec);
        if (c.gps.empty()) {
            for (const auto& [key, value] : tags.items())
                EXPECT_NE(key.substr(0, 3), "GPS") << key;
            continue;
        }
        EXPECT_EQ(Text(tags, "GPSVersionID"), "2 3 0 0");
        const std::string gps[] = {
            Text(tags, "GPSLatitudeRef"),     SixDecimals(tags, "GPSLatitude"),
            Text(tags, "GPSLongitudeRef"),    SixDecimals(tags, "GPSLongitude"),
            Text(tags, "GPSSpeedRef"),        Text(tags, "GPSSpeed"),
            Text(tags, "GPSImgDirectionRef"), Text(tags, "GPSImgDirection")};
        EXPECT_EQ(std::vector<std::string>(std::begin(gps), std::end(gps)), c.gps);
    }
}

} // namespace
} // namespace quello
