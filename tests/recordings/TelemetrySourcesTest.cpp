// Telemetry from the sources beside the camera's .DAT: GPX and NMEA logs written by gpsbabel
// and movies carrying freeGPS blocks, read back (through ExifTool for the movies) into fixes
// that must equal, byte for byte, what the .DAT parser stores for the same positions.
#include "recordings/TelemetrySources.h"
#include "recordings/TelemetryParser.h"
#include "tests/support/MovieBytes.h"
#include "tests/support/NmeaText.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <sstream>

namespace quello {
namespace {

using test::TempDir;

// 2026-05-16 09:41:08 UTC, when the drive below passes its first point.
constexpr std::uint64_t kDrive1904 = 1778924468 + test::kSecondsFrom1904To1970;

// The drive: due north at 40 km/h along 73.9711 W, one point a second, a second point within
// second 1, and a tunnel from second 3 to 4. Positions as the camera writes them.
const struct {
    double second; // after 09:41:08 UTC
    const char* latitude;
} kDrive[] = {{-2, "40.766700"}, {0, "40.766900"}, {1, "40.767000"}, {1.5, "40.767050"},
              {2, "40.767100"},  {5, "40.767400"}, {8, "40.767700"}};

std::string ClockText(int seconds) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", 9 + seconds / 3600, 41 + seconds % 3600 / 60,
                  8 + seconds % 60);
    return text;
}

// What the camera's .DAT would store for a drive point shown at `clock` (seconds after
// 09:41:08 on the camera's clock).
GpsFix DatFix(int point, int clock, const TempDir& dir) {
    auto set = std::make_unique<TelemetrySet>();
    EXPECT_TRUE(ParseTelemetryFile(
        dir.write("expected.DAT", "[G]\t2026/05/16\t" + ClockText(clock) + "\tN" +
                                      kDrive[point].latitude + "\tW73.971100\t40\t0\n"),
        *set));
    return set->fixes[0];
}

// The drive as gpsbabel's universal CSV; `extra` rows are appended.
std::string DriveCsv(const std::string& extra = {}) {
    std::string csv = "lat,lon,utc_d,utc_t,speed,course,fix,sat\n";
    for (const auto& p : kDrive) {
        std::ostringstream time;
        time << "09:41:" << (p.second < 0 ? "0" : "") << 8 + p.second;
        csv +=
            std::string(p.latitude) + ",-73.9711,2026/05/16," + time.str() + ",11.111111,0,3d,8\n";
    }
    return csv + extra;
}

std::string Gpsbabel(const TempDir& dir, const std::string& csv, const std::string& format) {
    const test::ProgramResult r =
        test::RunProgram({"gpsbabel", "-i", "unicsv", "-f", dir.write("points.csv", csv), "-x",
                          "transform,trk=wpt,del", "-o", format, "-F", "-"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

std::string Dump(const TelemetrySet& set) {
    std::ostringstream out;
    out << "F" << set.fixCount << " S" << set.sampleCount;
    for (int i = 0; i < set.fixCount; ++i)
        out << " [" << set.fixes[i].dateTime << "|" << set.fixes[i].latitude << "|"
            << set.fixes[i].speed << "]";
    return out.str();
}

// Each side file, each way the camera's clock relates to UTC: the fixes land in the slots of
// their UTC seconds, with the camera's clock in their texts; a gap stays a gap.
TEST(TelemetrySources, SideFilesGiveTheFixesTheDatWouldHold) {
    const TempDir dir;
    // The NMEA log also holds a second without a fix (status V) and one whose checksums fail.
    std::string nmea = Gpsbabel(dir,
                                DriveCsv("40.7672,-73.9711,2026/05/16,09:41:11,11.111111,0,none,0\n"
                                         "40.7673,-73.9711,2026/05/16,09:41:12,11.111111,0,3d,8\n"),
                                "nmea");
    for (std::size_t at = 0; (at = nmea.find("094112.000,", at)) != std::string::npos;)
        nmea[at += 9] = '1';
    const struct {
        const char* file;
        std::string content;
        TelemetrySource source;
    } files[] = {
        {"FILE0001.gpx", Gpsbabel(dir, DriveCsv(), "gpx,gpxver=1.1"), TelemetrySource::Gpx},
        {"FILE0001.gpx", Gpsbabel(dir, DriveCsv(), "gpx,gpxver=1.0"), TelemetrySource::Gpx},
        {"FILE0001.nmea", nmea, TelemetrySource::Nmea},
    };
    const struct {
        const char* name;
        int cameraAhead;       // seconds the movie's stored start is ahead of UTC
        std::int64_t offset;   // the user's correction
        int firstPoint, slots; // the drive points placed, from slot 0 on
    } clocks[] = {
        {"camera on UTC", 0, 0, 1, 6},
        {"local time as UTC, corrected", 7200, 7200, 1, 6},
        {"camera two seconds fast", 2, 0, 4, 7},
        {"local time as UTC, not corrected", 7200, 0, 0, 0},
    };
    auto set = std::make_unique<TelemetrySet>();
    for (const auto& file : files) {
        for (const auto& clock : clocks) {
            SCOPED_TRACE(std::string(file.content.substr(0, 60)) + " / " + clock.name);
            const TempDir card;
            const std::string movie = card.write(
                "FILE0001.MOV", test::CameraMovie(kDrive1904 + clock.cameraAhead, 1000, 8000));
            card.write(file.file, file.content);
            GpsOptions options;
            options.offsetSeconds = clock.offset;
            const TelemetryLoad load = LoadMovieTelemetry(movie, options, *set);
            ASSERT_EQ(load.source, clock.slots ? file.source : TelemetrySource::None);
            EXPECT_EQ(load.offsetApplied, clock.slots && clock.offset);
            ASSERT_EQ(set->fixCount, clock.slots) << Dump(*set);
            EXPECT_EQ(set->sampleCount, 0);
            for (int slot = 0, point = clock.firstPoint; slot < clock.slots; ++slot) {
                const double utc = slot + clock.cameraAhead - clock.offset;
                const bool filled = point < 7 && kDrive[point].second < utc + 1;
                const GpsFix expected =
                    filled ? DatFix(point, slot + clock.cameraAhead, dir) : GpsFix{};
                EXPECT_EQ(std::memcmp(&set->fixes[slot], &expected, sizeof expected), 0)
                    << "slot " << slot << ": " << Dump(*set);
                EXPECT_EQ(set->speeds[slot], filled ? 40 : 0);
                // The second point within second 1 loses to the first.
                while (point < 7 && kDrive[point].second < utc + 1)
                    ++point;
            }
        }
    }
}

// ExifTool decodes the freeGPS blocks a 'gps ' index in the movie points to; our reader turns
// its report into the same fixes, and the accelerations into held 10 Hz samples.
TEST(TelemetrySources, EmbeddedGpsComesThroughExifTool) {
    const TempDir dir;
    std::vector<test::FreeGpsRecord> records;
    // 40 deg 46.00 min N = 40.766667, then a quarter minute further each second; 73 deg
    // 58.5 min W = 73.975; 21.6 knots = 40 km/h. Second 2 is missing: a gap.
    for (int second : {0, 1, 3})
        records.push_back({2026,
                           5,
                           16,
                           9,
                           41,
                           8 + second,
                           'N',
                           'W',
                           4046.0f + 0.25f * float(second),
                           7358.5f,
                           21.6f,
                           90.0f,
                           {256 * second, -128, 256}});
    const char* latitudes[] = {"40.766667", "40.770833", "", "40.779167"};
    const std::string script = dir.write("hangs.sh", "#!/bin/sh\nexec sleep 30\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    const struct {
        char layout;
        const char* program;
        int timeoutMs;
        TelemetrySource source;
        bool accelerations;
    } cases[] = {
        {'J', "/usr/bin/exiftool", 60000, TelemetrySource::Embedded, false},
        {'C', "/usr/bin/exiftool", 60000, TelemetrySource::Embedded, true},
        {'C', "/nonexistent/exiftool", 60000, TelemetrySource::None, false},
        {'C', script.c_str(), 200, TelemetrySource::None, false},
    };
    auto set = std::make_unique<TelemetrySet>();
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(1, c.layout) + " " + c.program);
        const std::string movie =
            dir.write("FILE0002.MOV", test::FreeGpsMovie(kDrive1904, 5, c.layout, records));
        GpsOptions options;
        options.exiftool = {c.program, c.timeoutMs};
        ASSERT_EQ(LoadMovieTelemetry(movie, options, *set).source, c.source);
        ASSERT_EQ(set->fixCount, c.source == TelemetrySource::None ? 0 : 4) << Dump(*set);
        for (int slot = 0; slot < set->fixCount; ++slot) {
            const GpsFix& fix = set->fixes[slot];
            EXPECT_STREQ(fix.latitude, latitudes[slot]);
            EXPECT_STREQ(fix.longitude, slot == 2 ? "" : "-73.975000");
            EXPECT_EQ(fix.speed, slot == 2 ? 0 : 40);
            EXPECT_EQ(fix.heading, slot == 2 ? 0 : 90);
        }
        ASSERT_EQ(set->sampleCount, c.accelerations ? 40 : 0);
        for (int i = 0; i < set->sampleCount; ++i) {
            const bool held = i < 20 || i >= 30;
            EXPECT_EQ(set->samples[i].x, held ? i / 10 * 1000 : 0) << i;
            EXPECT_EQ(set->samples[i].y, held ? -500 : 0) << i;
        }
    }
}

// Stands in for the car's SEI reader of cameras_core: the movie's stream holds one fix when set.
bool g_streamHolds = false;

bool StreamTelemetry(const RecordingEntry&, TelemetrySet& out) {
    if (!g_streamHolds)
        return false;
    out = TelemetrySet{};
    out.fixCount = 1;
    return true;
}

// The first source that has fixes within the recording wins: the camera's .DAT, then the
// user's GPX, the movie's video stream, the side GPX, the side NMEA log, the GPS in the movie.
TEST(TelemetrySources, TheFirstSourceWithFixesWins) {
    const TempDir dir;
    const std::string gpx = Gpsbabel(dir, DriveCsv(), "gpx");
    const std::string nmea = Gpsbabel(dir, DriveCsv(), "nmea");
    const std::string dat = "[G]\t2026/05/16\t09:41:08\tN1.000000\tE2.000000\t3\t4\n";
    const std::string elsewhere = Gpsbabel(
        dir, "lat,lon,utc_d,utc_t\n1,2,2020/01/01,00:00:00\n1,2,2020/01/01,00:00:01\n", "gpx");
    const std::string embedded = test::FreeGpsMovie(
        kDrive1904, 8, 'J', {{2026, 5, 16, 9, 41, 9, 'N', 'E', 100.0f, 200.0f, 0, 0, {}}});
    const struct {
        std::string files; // D .DAT, U user GPX, X user GPX of another day, s the stream's,
                           // G .gpx, n .nmea, t .txt, e GPS in the movie
        TelemetrySource source;
    } cases[] = {
        {"DUGnte", TelemetrySource::Dat}, {"UGnte", TelemetrySource::UserGpx},
        {"XGnte", TelemetrySource::Gpx},  {"nte", TelemetrySource::Nmea},
        {"te", TelemetrySource::Nmea},    {"e", TelemetrySource::Embedded},
        {"X", TelemetrySource::None},     {"", TelemetrySource::None},
        {"Ds", TelemetrySource::Dat},     {"UsG", TelemetrySource::UserGpx},
        {"XsG", TelemetrySource::Sei},    {"se", TelemetrySource::Sei},
    };
    SetMovieStreamTelemetry(&StreamTelemetry);
    auto set = std::make_unique<TelemetrySet>();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.files);
        const TempDir card;
        RecordingEntry entry{card.write("A.MOV", c.files.find('e') != std::string::npos
                                                     ? embedded
                                                     : test::CameraMovie(kDrive1904, 1000, 8000)),
                             "", true, 1778924468, 8};
        GpsOptions options;
        g_streamHolds = c.files.find('s') != std::string::npos;
        for (char kind : c.files) {
            if (kind == 'D')
                entry.telemetryPath = card.write("A.DAT", dat);
            if (kind == 'U' || kind == 'X')
                options.userGpx = card.write("mine.gpx", kind == 'U' ? gpx : elsewhere);
            if (kind == 'G' || kind == 'n' || kind == 't')
                card.write(kind == 'G'   ? "A.gpx"
                           : kind == 'n' ? "A.nmea"
                                         : "A.txt",
                           kind == 'G' ? gpx : nmea);
        }
        const TelemetryLoad load = LoadRecordingTelemetry(entry, options, *set);
        EXPECT_EQ(TelemetrySourceName(load.source), TelemetrySourceName(c.source));
        EXPECT_EQ(set->fixCount > 0, c.source != TelemetrySource::None);
    }
    SetMovieStreamTelemetry(nullptr);
}

// Side files that are junk, cut short or without what placing needs give no telemetry.
TEST(TelemetrySources, BrokenSideFilesGiveNoTelemetry) {
    const TempDir dir;
    const std::string gpx = Gpsbabel(dir, DriveCsv(), "gpx");
    const std::string nmea = Gpsbabel(dir, DriveCsv(), "nmea");
    std::string badSums = nmea;
    for (std::size_t at = 0; (at = badSums.find('*', at)) != std::string::npos;)
        badSums[++at] ^= 1;
    const struct {
        const char* name;
        const char* file;
        std::string content;
    } cases[] = {
        {"empty GPX", "B.gpx", ""},
        {"binary junk as GPX", "B.gpx", std::string("\x00\xff<gpx\x13\x37", 8)},
        {"GPX cut in half", "B.gpx", gpx.substr(0, gpx.size() / 2)},
        {"GPX points without times", "B.gpx",
         "<gpx><trk><trkseg><trkpt lat=\"40.7669\" lon=\"-73.9711\"/></trkseg></trk></gpx>"},
        {"GPX with an external entity", "B.gpx",
         "<!DOCTYPE gpx [<!ENTITY t SYSTEM \"/etc/passwd\">]><gpx><trk><trkseg>"
         "<trkpt lat=\"40.7669\" lon=\"-73.9711\"><time>&t;</time></trkpt></trkseg></trk></gpx>"},
        {"NMEA cut mid-sentence", "B.nmea", nmea.substr(0, 40)},
        {"NMEA checksums all wrong", "B.txt", badSums},
        {"text that is no NMEA", "B.txt", "$ hello *\n$GPRMC,*00\n$GPRMC\n,,,,\n"},
    };
    auto set = std::make_unique<TelemetrySet>();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TempDir card;
        card.write(c.file, c.content);
        const TelemetryLoad load = LoadMovieTelemetry(
            card.write("B.MOV", test::CameraMovie(kDrive1904, 1000, 8000)), GpsOptions{}, *set);
        EXPECT_EQ(load.source, TelemetrySource::None);
        EXPECT_EQ(Dump(*set), "F0 S0");
    }
}

// A log dated by ZDA alone, or not at all. A ZDA dates the fixes around it, a day back across
// midnight, and is no fix itself; without a date, the fixes whose time of day falls within the
// recording (its clock less the offset) are put on its date; a log of another date stays out.
TEST(TelemetrySources, NmeaLogsDatedByZdaOrByTheRecording) {
    // "G094108": a GGA fix at 09:41:08; "Z094110 16,05,2026": a ZDA; a trailing '!' spoils the
    // checksum.
    const auto log = [](std::initializer_list<std::string> sentences) {
        std::string text;
        for (std::string s : sentences) {
            const bool spoilt = s.back() == '!';
            text += test::NmeaSentence(
                s[0] == 'G'
                    ? "GPGGA," + s.substr(1) + ".00,4046.014,N,07358.266,W,1,08,1.0,10,M,,M,,"
                    : "GNZDA," + s.substr(1, 6) + ".00," + s.substr(8, 10) + ",00,00",
                spoilt);
        }
        return text;
    };
    constexpr std::int64_t kMidnight = 1778889600; // 2026-05-16 00:00:00
    constexpr std::int64_t kMorning = 9 * 3600 + 41 * 60 + 8, kLate = 86400 - 2;
    const struct {
        const char* name;
        std::int64_t start, offset; // the recording's clock from kMidnight, the user's offset
        std::string log;
        const char* slots; // 'x' a fix, '.' an empty slot; empty: no telemetry
    } cases[] = {
        {"ZDA at the end", kMorning, 0,
         log({"G094108", "G094109", "G094111", "G094112", "Z094110 16,05,2026"}), "xx.xx"},
        {"ZDA after midnight at the end", kLate, 0,
         log({"G235958", "G235959", "G000000", "G000001", "Z000030 17,05,2026"}), "xxxx"},
        {"ZDA at the start", kMorning, 0,
         log({"Z094100 16,05,2026", "G094108", "G094109", "G094110"}), "xxx"},
        {"ZDA of another day", kMorning, 0, log({"G094108", "G094109", "Z094110 15,05,2026"}), ""},
        {"ZDAs with a bad checksum or date", kMorning, 0,
         log({"G094108", "G094109", "Z094110 15,05,2026!", "Z094111 30,02,2026"}), "xx"},
        {"no date", kMorning, 0, log({"G094106", "G094108", "G094110", "G094113"}), "x.x"},
        {"no date, recording across midnight", kLate, 0,
         log({"G235957", "G235959", "G000001", "G000003"}), ".x.x"},
        {"no date, the offset moves the recording a day back", 86400 + 3600, 7200,
         log({"G230001", "G230002"}), ".xx"},
        {"no date, all outside the recording", kMorning, 0, log({"G094100", "G094200"}), ""},
    };
    auto set = std::make_unique<TelemetrySet>();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TempDir card;
        card.write("C.nmea", c.log);
        const std::int64_t start = kMidnight + c.start;
        const RecordingEntry entry{
            card.write(
                "C.MOV",
                test::CameraMovie(std::uint64_t(start) + test::kSecondsFrom1904To1970, 1000, 5000)),
            "", true, start, 5};
        GpsOptions options;
        options.offsetSeconds = c.offset;
        const TelemetryLoad load = LoadRecordingTelemetry(entry, options, *set);
        EXPECT_EQ(TelemetrySourceName(load.source), std::string(*c.slots ? "nmea" : "none"));
        std::string slots;
        for (int i = 0; i < set->fixCount; ++i)
            slots += set->fixes[i].latitude[0] ? 'x' : '.';
        EXPECT_EQ(slots, c.slots) << Dump(*set);
    }
}

} // namespace
} // namespace quello
