// `quello clip` on a 6 s movie (30 fps, a key frame every second, reordered frames, sound) with
// a telemetry file whose every sample and fix differs from the others, and on trips of 4 s
// recordings that follow one another: three with such telemetry files, two with GPX logs, and
// two whose pictures differ in size, and a car's two-camera drive of two 3 s clips; and
// `quello clip --overlay` on a 960x540 one, with and without telemetry, and on a car's
// front-camera clip with its own signals, its picture also taken from the back camera or from
// every camera at once.
#include "recordings/MovieHeader.h"
#include "recordings/TelemetryParser.h"
#include "recordings/TelemetrySet.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace quello::test {
namespace {

struct Frame {
    double pts = 0, duration = 0;
    std::string md5;
};

// The decoded video frames of a movie (edit lists honoured), with their times.
std::vector<Frame> DecodedFrames(const std::string& movie) {
    const auto run =
        RunProgram({"ffmpeg", "-v", "error", "-i", movie, "-map", "0:v", "-f", "framemd5", "-"});
    std::vector<Frame> frames;
    double timeBase = 0;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("#tb 0: ", 0) == 0) {
            const auto slash = line.find('/');
            timeBase = std::stod(line.substr(7, slash - 7)) / std::stod(line.substr(slash + 1));
        }
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> fields;
        std::istringstream parts(line);
        for (std::string f; std::getline(parts, f, ',');)
            fields.push_back(f.substr(f.find_first_not_of(' ')));
        frames.push_back(
            {std::stod(fields[2]) * timeBase, std::stod(fields[3]) * timeBase, fields[5]});
    }
    return frames;
}

// A test movie: `seconds` of testsrc2 from `skip` s on, starting at `created` (UTC).
void MakeMovie(const std::string& path, const char* size, int seconds, int skip,
               const std::string& created) {
    const auto made = RunProgram({"ffmpeg",    "-nostdin",
                                  "-v",        "error",
                                  "-f",        "lavfi",
                                  "-i",        std::string("testsrc2=size=") + size + ":rate=30",
                                  "-f",        "lavfi",
                                  "-i",        "sine=f=440",
                                  "-c:v",      "libx264",
                                  "-g",        "30",
                                  "-c:a",      "aac",
                                  "-ss",       std::to_string(skip),
                                  "-t",        std::to_string(seconds),
                                  "-metadata", "creation_time=" + created,
                                  path});
    ASSERT_EQ(made.exitCode, 0) << made.err;
}

// Telemetry whose sample i reads (base + i, 1000 + i, -i) and whose fix of second s has speed
// base / 100 + s, at 10:00:(first + s).
std::string Telemetry(int seconds, int base, int first) {
    std::string dat = "header line the parser skips\n";
    for (int second = 0; second < seconds; ++second) {
        char fix[96];
        std::snprintf(fix, sizeof fix, "[G]\t2024/05/01\t10:00:%02d\tN24.1%d\tE121.6\t%d\t90\n",
                      first + second, second, base / 100 + second);
        dat += fix;
        for (int k = 0; k < 10; ++k) {
            const int i = second * 10 + k;
            dat += "[S]\t" + std::to_string(base + i) + "\t" + std::to_string(1000 + i) + "\t-" +
                   std::to_string(i) + "\n";
        }
    }
    return dat;
}

class ClipTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new TempDir;
        s_movie = s_dir->file("ORIG.MOV");
        MakeMovie(s_movie, "320x240", 6, 0, "2024-05-01T10:00:00Z");
        s_dir->write("ORIG.DAT", Telemetry(6, 0, 0));
        s_frames = new std::vector<Frame>(DecodedFrames(s_movie));
        // Trips: T1-T3 with telemetry files, G1-G2 with GPX logs, O1-O2 of two picture sizes.
        s_trip = new std::vector<std::vector<Frame>>;
        for (const char* folder : {"trip", "gps", "odd"})
            s_dir->makeDir(folder);
        for (int n = 0; n < 3; ++n) {
            const std::string name = "trip/T" + std::to_string(n + 1);
            MakeMovie(s_dir->file(name + ".MOV"), "320x240", 4, 4 * n,
                      "2024-05-01T10:00:0" + std::to_string(4 * n) + "Z");
            s_dir->write(name + ".DAT", Telemetry(4, 4000 * (n + 1), 4 * n));
            s_trip->push_back(DecodedFrames(s_dir->file(name + ".MOV")));
        }
        for (int n = 0; n < 2; ++n) {
            const std::string start = "2024-05-01T10:00:0" + std::to_string(4 * n);
            MakeMovie(s_dir->file("gps/G" + std::to_string(n + 1) + ".MOV"), "320x240", 4, 0,
                      start + "Z");
            MakeMovie(s_dir->file("odd/O" + std::to_string(n + 1) + ".MOV"),
                      n ? "160x120" : "320x240", 4, 0, start + "Z");
            std::string gpx = "<?xml version=\"1.0\"?><gpx version=\"1.1\"><trk><trkseg>";
            for (int second = 0; second < 4; ++second)
                gpx += "<trkpt lat=\"24.1" + std::to_string(4 * n + second) +
                       "\" lon=\"121.6\"><time>2024-05-01T10:00:0" +
                       std::to_string(4 * n + second) + "Z</time></trkpt>";
            s_dir->write("gps/G" + std::to_string(n + 1) + ".gpx", gpx + "</trkseg></trk></gpx>");
        }
        // The car's drive, and a copy whose second moment has no back camera.
        const auto tesla = RunProgram({MAKE_TESLACAM, s_dir->file("tesla"), "--minutes", "2",
                                       "--clip-seconds", "3", "--size", "320x240", "--fps", "30",
                                       "--cameras", "front,back", "--no-events"});
        ASSERT_EQ(tesla.exitCode, 0) << tesla.err;
        RunProgram({"cp", "-r", s_dir->file("tesla"), s_dir->file("lack")});
        std::remove(Drive("lack", 3, "back").c_str());
    }
    // The car's file of `camera` of the moment `second`s into the drive.
    static std::string Drive(const char* root, int second, const char* camera) {
        return s_dir->file(std::string(root) +
                           "/TeslaCam/RecentClips/2024-05-01/2024-05-01_10-00-0" +
                           std::to_string(second) + "-" + camera + ".mp4");
    }
    static void TearDownTestSuite() {
        delete s_trip;
        delete s_frames;
        delete s_dir;
    }

    static TempDir* s_dir;
    static std::string s_movie;
    static std::vector<Frame>* s_frames;
    static std::vector<std::vector<Frame>>* s_trip; // T1-T3's frames
};

TempDir* ClipTest::s_dir = nullptr;
std::string ClipTest::s_movie;
std::vector<Frame>* ClipTest::s_frames = nullptr;
std::vector<std::vector<Frame>>* ClipTest::s_trip = nullptr;

// The command run where files can't grow past 16 KB, as on a full disk: writes fail (EFBIG).
std::vector<std::string> DiskFull(std::vector<std::string> command) {
    if (command.front() == "FULL")
        command.front() = QUELLO_BIN;
    command.insert(command.begin(), {"sh", "-c", "ulimit -f 32; trap '' XFSZ; exec \"$@\"", "sh"});
    return command;
}

struct Span {
    const char* from;
    const char* to;
    const char* name;
};

TEST_F(ClipTest, ShowsExactlyTheFramesOfTheSpanWithItsTelemetryAndTime) {
    const Span spans[] = {
        {"1", "2", "on key frames"},
        {"1.5", "3.2", "off key frames"},
        {"1.51", "3.19", "inside frames"},
        {"0", "6", "the whole movie"},
        {"2.99", "3.01", "across a key frame"},
        {"4.05", "5.999", "to the last frame"},
    };
    for (const auto& span : spans) {
        SCOPED_TRACE(span.name);
        TempDir out;
        const std::string clip = out.file("clip.mp4");
        const auto run =
            RunQuello({"clip", s_movie, "--from", span.from, "--to", span.to, "-o", clip});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        // The frames whose presentation interval meets [from, to].
        const double from = std::stod(span.from), to = std::stod(span.to);
        std::vector<std::string> expected;
        double start = -1;
        for (const auto& f : *s_frames) {
            if (f.pts <= to + 1e-9 && f.pts + f.duration > from + 1e-9) {
                expected.push_back(f.md5);
                if (start < 0)
                    start = f.pts;
            }
        }
        std::vector<std::string> got;
        for (const auto& f : DecodedFrames(clip))
            got.push_back(f.md5);
        EXPECT_EQ(got, expected);

        std::tm origTime{}, clipTime{};
        std::uint32_t seconds = 0;
        int readOnly = 0;
        ReadMovieHeader(s_movie, origTime, seconds, readOnly);
        ReadMovieHeader(clip, clipTime, seconds, readOnly);
        EXPECT_EQ(::timegm(&clipTime) - ::timegm(&origTime), std::time_t(std::floor(start + 1e-9)));

        auto orig = std::make_unique<TelemetrySet>();
        auto cut = std::make_unique<TelemetrySet>();
        ASSERT_TRUE(ParseTelemetryFile(s_dir->file("ORIG.DAT"), *orig));
        ASSERT_TRUE(ParseTelemetryFile(out.file("clip.DAT"), *cut));
        const int firstSample = int(std::floor(start * 10 + 1e-9));
        const int firstFix = int(std::floor(start + 1e-9));
        EXPECT_GT(cut->sampleCount, 0);
        EXPECT_GE(cut->sampleCount, int(std::ceil((to - start) * 10 - 1e-9)));
        for (int i = 0; i < cut->sampleCount; ++i) {
            EXPECT_EQ(cut->samples[i].x, orig->samples[firstSample + i].x) << i;
            EXPECT_EQ(cut->samples[i].y, orig->samples[firstSample + i].y) << i;
        }
        for (int j = 0; j < cut->fixCount; ++j) {
            EXPECT_EQ(FixText(cut->fixes[j].dateTime), FixText(orig->fixes[firstFix + j].dateTime));
            EXPECT_EQ(cut->speeds[j], orig->speeds[firstFix + j]);
        }
    }
}

// Spans of T1-T3 given in seconds of one of them: the frames of all three end to end, the
// creation time of the first frame, and the telemetry of each recording where it shows.
TEST_F(ClipTest, JoinsTheRecordingsOfATripFrameForFrameWithTheirTelemetry) {
    const struct {
        int movie; // 0-2: T1-T3
        const char* from;
        const char* to;
        const char* name;
    } spans[] = {
        {1, "-1.5", "1.5", "across two, from the later"},
        {0, "2.5", "9.2", "across three"},
        {0, "3.99", "4.01", "the frames either side of a join"},
        {2, "-7.95", "0.02", "back across three"},
    };
    std::tm t1{};
    std::uint32_t seconds = 0;
    int readOnly = 0;
    ReadMovieHeader(s_dir->file("trip/T1.MOV"), t1, seconds, readOnly);
    for (const auto& span : spans) {
        SCOPED_TRACE(span.name);
        TempDir out;
        const std::string clip = out.file("clip.mov");
        const std::string movie = s_dir->file("trip/T" + std::to_string(span.movie + 1) + ".MOV");
        const auto run =
            RunQuello({"clip", movie, "--from", span.from, "--to", span.to, "-o", clip});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        // Seconds from T1's start: T1-T3 are 4 s each.
        const double from = std::stod(span.from) + 4 * span.movie;
        const double to = std::stod(span.to) + 4 * span.movie;
        std::vector<std::string> expected;
        double start = -1;
        for (int n = 0; n < 3; ++n) {
            for (const auto& f : (*s_trip)[std::size_t(n)]) {
                const double pts = f.pts + 4 * n;
                if (pts <= to + 1e-9 && pts + f.duration > from + 1e-9) {
                    expected.push_back(f.md5);
                    if (start < 0)
                        start = pts;
                }
            }
        }
        std::vector<std::string> got;
        for (const auto& f : DecodedFrames(clip))
            got.push_back(f.md5);
        EXPECT_EQ(got, expected);
        std::istringstream printed(run.out);
        std::string name;
        double printedStart = 0;
        printed >> name >> printedStart;
        EXPECT_NEAR(printedStart + 4 * span.movie, start, 1e-3);

        std::tm created{};
        ReadMovieHeader(clip, created, seconds, readOnly);
        EXPECT_EQ(::timegm(&created) - ::timegm(&t1), std::time_t(std::floor(start + 1e-9)));

        // At the middle of each of its tenths and seconds the clip shows what T1-T3 show at
        // that moment, give or take a tenth or a second.
        auto cut = std::make_unique<TelemetrySet>();
        ASSERT_TRUE(ParseTelemetryFile(out.file("clip.DAT"), *cut));
        EXPECT_GE(cut->sampleCount, int(std::floor((to - start) * 10)));
        const auto shows = [&](double at, double slot, auto value) {
            for (const double d : {-slot, -slot / 2, 0.0, slot / 2, slot}) {
                const double t = std::clamp(at + d, 0.0, 12 - 1e-6);
                const int n = std::min(2, int(t / 4));
                if (value(n, t - 4 * n))
                    return true;
            }
            return false;
        };
        for (int j = 0; j < cut->sampleCount; ++j)
            EXPECT_TRUE(shows(
                start + (j + 0.5) / 10, 0.1,
                [&](int n, double t) { return cut->samples[j].x == 4000 * (n + 1) + int(t * 10); }))
                << "sample " << j;
        EXPECT_GE(cut->fixCount, int(std::floor(to - start)));
        for (int j = 0; j < cut->fixCount; ++j)
            EXPECT_TRUE(
                shows(start + j + 0.5, 1.0,
                      [&](int n, double t) { return cut->speeds[j] == 40 * (n + 1) + int(t); }))
                << "fix " << j;
    }
}

// A camera chosen among the moment's, across the join of the drive's two clips: the clip holds
// that camera's frames, while the trip and the telemetry beside the clip stay the front's
// (the car's GPS in the front video: 37 + 0.0001 t).
TEST_F(ClipTest, TakesTheChosenCamerasFramesWithTheMainCamerasTelemetry) {
    const struct {
        int second; // the moment given: 0 or 3 s into the drive
        const char* given;
        const char* camera;
        const char* from;
        const char* to;
        const char* shown;
    } cases[] = {
        {0, "front", "back", "2.51", "4.5", "back"},
        {3, "back", "f", "-0.49", "1.5", "front"},
        {3, "back", "BACK", "-0.49", "1.5", "back"},
        {0, "front", "", "2.51", "4.5", "front"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.given) + " --camera " + c.camera);
        TempDir out;
        const std::string clip = out.file("clip.mp4");
        std::vector<std::string> args = {
            "clip", Drive("tesla", c.second, c.given), "--from", c.from, "--to", c.to, "-o", clip};
        if (*c.camera)
            args.insert(args.end(), {"--camera", c.camera});
        const auto run = RunQuello(args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const double from = std::stod(c.from) + c.second, to = std::stod(c.to) + c.second;
        std::vector<std::string> expected, got;
        for (int moment : {0, 3})
            for (const auto& f : DecodedFrames(Drive("tesla", moment, c.shown)))
                if (f.pts + moment <= to + 1e-9 && f.pts + moment + f.duration > from + 1e-9)
                    expected.push_back(f.md5);
        for (const auto& f : DecodedFrames(clip))
            got.push_back(f.md5);
        EXPECT_EQ(got, expected);
        const std::string gpx = TempDir::read(out.file("clip.gpx"));
        std::vector<std::string> latitudes;
        for (std::size_t at = 0; (at = gpx.find("lat=\"", at)) != std::string::npos; at += 5)
            latitudes.push_back(gpx.substr(at + 5, 9));
        EXPECT_EQ(latitudes, (std::vector<std::string>{"37.000200", "37.000300", "37.000400"}));
    }
}

// G1 and G2 have their GPS in GPX logs beside them: the clip gets the points of its span.
TEST_F(ClipTest, GivesAJoinedClipTheGpsPointsOfItsSpan) {
    TempDir out;
    const auto run = RunQuello({"clip", s_dir->file("gps/G1.MOV"), "--from", "2.5", "--to", "5.5",
                                "-o", out.file("clip.mp4")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(out.entries(), (std::set<std::string>{"clip.mp4", "clip.gpx"}));
    const std::string gpx = TempDir::read(out.file("clip.gpx"));
    std::vector<double> latitudes;
    for (std::size_t at = 0; (at = gpx.find("lat=\"", at)) != std::string::npos; at += 5)
        latitudes.push_back(std::stod(gpx.substr(at + 5)));
    EXPECT_EQ(latitudes, (std::vector<double>{24.12, 24.13, 24.14, 24.15}));
}

TEST_F(ClipTest, RefusesBadRequestsAndLeavesNothing) {
    struct Case {
        const char* name;
        std::vector<std::string> args; // "MOVIE" and "OUT" are filled in
        int exitCode;
        const char* says = ""; // part of the message
    } cases[] = {
        {"end before start", {"clip", "MOVIE", "--from", "3", "--to", "2", "-o", "OUT"}, 1},
        {"empty span", {"clip", "MOVIE", "--from", "2", "--to", "2", "-o", "OUT"}, 1},
        {"past the end", {"clip", "MOVIE", "--from", "5", "--to", "6.5", "-o", "OUT"}, 1},
        {"before the first recording",
         {"clip", "MOVIE", "--from", "-1", "--to", "2", "-o", "OUT"},
         1},
        {"past the trip's end",
         {"clip", "T3", "--from", "3", "--to", "4.5", "-o", "OUT"},
         1,
         "after the end of the last recording of its trip (T3.MOV)"},
        {"pictures of two sizes",
         {"clip", "O1", "--from", "3", "--to", "5", "-o", "OUT"},
         1,
         "O2.MOV's video is 160x120, O1.MOV's 320x240: they can't be joined"},
        {"no output", {"clip", "MOVIE", "--from", "1", "--to", "2"}, 2},
        {"other extension", {"clip", "MOVIE", "--from", "1", "--to", "2", "-o", "OUT.mkv"}, 1},
        {"unreadable movie", {"clip", "DAT", "--from", "1", "--to", "2", "-o", "OUT"}, 1},
        {"folder is a file", {"clip", "MOVIE", "--from", "1", "--to", "2", "-o", "FILE/c.mov"}, 1},
        {"disk full", {"FULL", "clip", "MOVIE", "--from", "0", "--to", "6", "-o", "OUT"}, 1},
        {"a camera the moment lacks",
         {"clip", "TESLA", "--from", "2", "--to", "4", "--camera", "left_repeater", "-o", "OUT"},
         1,
         "2024-05-01_10-00-00-front.mp4: no camera 'left_repeater' in this moment (its cameras: "
         "front (F), back (B))"},
        {"a later moment lacks it",
         {"clip", "LACK", "--from", "2", "--to", "4", "--camera", "B", "-o", "OUT"},
         1,
         "2024-05-01_10-00-03-front.mp4: no camera 'B'"},
        {"overlay of a camera the moment lacks",
         {"clip", "TESLA", "--from", "2", "--to", "4", "--camera", "LR", "--overlay", "-o",
          "OUT.mp4"},
         1,
         "no camera 'LR'"},
        {"a movie of no camera",
         {"clip", "MOVIE", "--from", "1", "--to", "2", "--camera", "back", "-o", "OUT"},
         1,
         "its file name names no camera"},
        {"every camera without the overlay",
         {"clip", "TESLA", "--from", "1", "--to", "2", "--camera", "all", "-o", "OUT"},
         2},
        {"no camera named",
         {"clip", "TESLA", "--from", "1", "--to", "2", "--camera", "", "-o", "OUT"},
         2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir out;
        out.write("file", "x");
        std::vector<std::string> args;
        for (std::string a : c.args) {
            if (a == "MOVIE")
                a = s_movie;
            else if (a == "DAT")
                a = s_dir->file("ORIG.DAT");
            else if (a == "T3")
                a = s_dir->file("trip/T3.MOV");
            else if (a == "O1")
                a = s_dir->file("odd/O1.MOV");
            else if (a == "TESLA" || a == "LACK")
                a = Drive(a == "TESLA" ? "tesla" : "lack", 0, "front");
            else if (a.rfind("OUT", 0) == 0)
                a = out.file("c" + (a == "OUT" ? std::string(".mov") : a.substr(3)));
            else if (a.rfind("FILE", 0) == 0)
                a = out.file("file") + a.substr(4);
            args.push_back(a);
        }
        const auto run = args.front() == "FULL" ? RunProgram(DiskFull(args)) : RunQuello(args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(out.entries(), std::set<std::string>{"file"});
    }
}

TEST_F(ClipTest, NeverReplacesAnExistingFile) {
    const char* existing[] = {"c.mov", "c.DAT"};
    for (const char* name : existing) {
        SCOPED_TRACE(name);
        TempDir out;
        out.write(name, "keep me");
        const auto run =
            RunQuello({"clip", s_movie, "--from", "1", "--to", "2", "-o", out.file("c.mov")});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(out.entries(), std::set<std::string>{name});
        EXPECT_EQ(TempDir::read(out.file(name)), "keep me");
    }
}

// A movie whose fixes are usable positions (the route map draws them), copied a second time
// without its telemetry, and a car's 3 s front-camera clip of the same size.
class OverlayTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new TempDir;
        const auto made = RunProgram({"ffmpeg",
                                      "-nostdin",
                                      "-v",
                                      "error",
                                      "-f",
                                      "lavfi",
                                      "-i",
                                      "testsrc2=size=960x540:rate=30",
                                      "-f",
                                      "lavfi",
                                      "-i",
                                      "sine=f=440",
                                      "-c:v",
                                      "libx264",
                                      "-g",
                                      "30",
                                      "-c:a",
                                      "aac",
                                      "-t",
                                      "6",
                                      "-metadata",
                                      "creation_time=2024-05-01T10:00:00Z",
                                      s_dir->file("WITH.MOV")});
        ASSERT_EQ(made.exitCode, 0) << made.err;
        std::string dat = "header\n";
        for (int second = 0; second < 6; ++second) {
            for (int k = 0; k < 10; ++k)
                dat +=
                    "[S]\t" + std::to_string(100 * k) + "\t1000\t-" + std::to_string(50 * k) + "\n";
            dat += "[G]\t2024/05/01\t10:00:0" + std::to_string(second) + "\t24.10" +
                   std::to_string(second) + "000\t121.60" + std::to_string(second * second) +
                   "00\t" + std::to_string(40 + 10 * second) + "\t" + std::to_string(30 * second) +
                   "\n";
        }
        s_dir->write("WITH.DAT", dat);
        RunProgram({"cp", s_dir->file("WITH.MOV"), s_dir->file("BARE.MOV")});
        const auto tesla =
            RunProgram({MAKE_TESLACAM, s_dir->file("tesla"), "--clip-seconds", "3", "--size",
                        "960x540", "--fps", "30", "--cameras", "front,back", "--no-events"});
        ASSERT_EQ(tesla.exitCode, 0) << tesla.err;
    }
    static void TearDownTestSuite() { delete s_dir; }

    // The PSNR of a crop (w:h:x:y) of the clip against the same crop of the movie's frames from
    // `start` on; the overlay's regions of a 960x540 picture are the bottom 100 rows (the band,
    // 25 rows taller with the car's signals), the top right corner (the map) and, without
    // telemetry, a clock box in the bottom left.
    static double Psnr(const std::string& clip, const std::string& movie, double start,
                       const std::string& crop) {
        const auto run =
            RunProgram({"ffmpeg", "-nostdin", "-i", clip, "-i", movie, "-lavfi",
                        "[0:v]crop=" + crop + "[a];[1:v]trim=start=" + std::to_string(start) +
                            ",setpts=PTS-STARTPTS,crop=" + crop + "[b];[a][b]psnr=shortest=1",
                        "-f", "null", "-"});
        const auto at = run.err.find("average:");
        return at == std::string::npos ? -1 : std::stod(run.err.substr(at + 8));
    }

    static TempDir* s_dir;
};

TempDir* OverlayTest::s_dir = nullptr;

TEST_F(OverlayTest, ShowsTheFramesOfTheSpanWithTheOverlayOnlyWhereItIsDrawn) {
    const char* clear = "700:280:0:150";
    const char* band = "940:90:0:446";
    const char* map = "100:100:830:20";
    const char* clock = "200:26:4:504";
    const char* bandRight = "600:90:300:446";
    const char* carRow = "460:20:0:418";
    const char* aboveCarRow = "700:260:0:150";
    const std::string front = "tesla/TeslaCam/RecentClips/2024-05-01/2024-05-01_10-00-00-front.mp4";
    struct Case {
        std::string movie;
        const char* from;
        const char* to;
        std::vector<const char*> drawn, untouched;
        const char* camera = ""; // the picture's, when another than the movie's
    } cases[] = {
        {"WITH.MOV", "1.5", "3.2", {band, map}, {clear, carRow}},
        {"WITH.MOV", "2.99", "3.01", {band, map}, {clear}},
        {"WITH.MOV", "0", "6", {band, map}, {clear}},
        {"BARE.MOV", "1.51", "2.5", {clock}, {clear, bandRight, map}},
        // The car's own signals in a row over the band, which only they bring.
        {front, "0", "2.5", {carRow, band, map}, {aboveCarRow}},
        // The back camera's picture with the front's signals.
        {front, "0", "2.5", {carRow, band, map}, {aboveCarRow}, "back"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.movie + " " + c.from + "-" + c.to + " " + c.camera);
        TempDir out;
        const std::string clip = out.file("o.mp4");
        const std::string given = s_dir->file(c.movie);
        std::string movie = given; // the one whose picture the clip shows
        if (*c.camera)
            movie.replace(movie.rfind("front"), 5, c.camera);
        const auto frames = DecodedFrames(movie);
        std::vector<std::string> args = {"clip", given,       "--from", c.from, "--to",
                                         c.to,   "--overlay", "-o",     clip};
        if (*c.camera)
            args.insert(args.end(), {"--camera", c.camera});
        const auto run = RunQuello(args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const double from = std::stod(c.from), to = std::stod(c.to);
        std::vector<double> expected;
        double start = -1;
        for (const auto& f : frames) {
            if (f.pts <= to + 1e-9 && f.pts + f.duration > from + 1e-9) {
                start = start < 0 ? f.pts : start;
                expected.push_back(f.pts - start);
            }
        }
        std::vector<double> got;
        for (const auto& f : DecodedFrames(clip))
            got.push_back(f.pts);
        ASSERT_EQ(got.size(), expected.size());
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_NEAR(got[i], expected[i], 1e-6) << i;
        for (const char* crop : c.drawn)
            EXPECT_LT(Psnr(clip, movie, start, crop), 20) << crop;
        for (const char* crop : c.untouched)
            EXPECT_GT(Psnr(clip, movie, start, crop), 30) << crop;
    }
}

// Every camera of the moment on one picture, the front's (the main camera's) first, each at half
// the front's size side by side, given the back's file: the name and frame number each view
// burns into its top left corner are that camera's from the span's first frame (the 15th) on.
TEST_F(OverlayTest, EveryCameraOnOnePictureFrameForFrame) {
    TempDir out;
    const std::string clip = out.file("all.mp4");
    const std::string day =
        s_dir->file("tesla/TeslaCam/RecentClips/2024-05-01/2024-05-01_10-00-00-");
    const auto run = RunQuello({"clip", day + "back.mp4", "--from", "0.5", "--to", "2.5",
                                "--camera", "ALL", "--overlay", "-o", clip});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto probe =
        RunProgram({"ffprobe", "-v", "error", "-select_streams", "v", "-show_entries",
                    "stream=width,height,nb_frames", "-of", "csv=p=0", clip});
    EXPECT_EQ(probe.out, "960,270,61\n");
    // Frames paired by their numbers: the cameras' clocks round frame times differently.
    const auto psnr = [&](int x, const std::string& camera) {
        const auto r = RunProgram(
            {"ffmpeg", "-nostdin", "-i", clip, "-i", day + camera + ".mp4", "-lavfi",
             "[0:v]settb=1/30,setpts=N,crop=200:40:" + std::to_string(x) +
                 ":0[a];[1:v]select=gte(n\\,15),settb=1/30,setpts=N,scale=480:270,crop=200:40:0:"
                 "0[b];[a][b]psnr=shortest=1",
             "-f", "null", "-"});
        const auto at = r.err.find("average:");
        return at == std::string::npos ? -1 : std::stod(r.err.substr(at + 8));
    };
    EXPECT_GT(psnr(0, "front"), 30);
    EXPECT_GT(psnr(480, "back"), 30);
    EXPECT_LT(psnr(0, "back"), 25);
    EXPECT_LT(psnr(480, "front"), 25);
}

TEST_F(OverlayTest, RefusedOrCancelledLeavesNothing) {
    struct Case {
        const char* name;
        std::vector<std::string> args; // OUT is filled in
        int exitCode;
    } cases[] = {
        {"a .mov clip", {"--overlay", "-o", "OUT.mov"}, 1},
        {"crf out of range", {"--overlay", "--crf", "60", "-o", "OUT.mp4"}, 2},
        {"odd size", {"--overlay", "--size", "641x360", "-o", "OUT.mp4"}, 2},
        {"size without overlay", {"--size", "640x360", "-o", "OUT.mp4"}, 2},
        {"Ctrl+C", {"--overlay", "--size", "1920x1080", "-o", "OUT.mp4"}, 1},
        {"disk full", {"FULL", "--overlay", "-o", "OUT.mp4"}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir out;
        std::vector<std::string> args = {
            "timeout",  "--foreground", "--preserve-status",     "-s",     "INT", "1.5",
            QUELLO_BIN, "clip",         s_dir->file("WITH.MOV"), "--from", "0",   "--to",
            "6"};
        for (const auto& a : c.args)
            if (a != "FULL")
                args.push_back(a.rfind("OUT", 0) == 0 ? out.file("c" + a.substr(3)) : a);
        const auto run = RunProgram(c.args.front() == "FULL" ? DiskFull(args) : args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(out.entries(), std::set<std::string>{});
    }
}

} // namespace
} // namespace quello::test
