#include "recordings/MovieHeader.h"
#include "tests/support/MovieBytes.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace quello {
namespace {

using Bytes = std::string;
using test::Be;
using test::Box;
using test::CameraMovie;
using test::kCameraFtyp;
using test::Mvhd;

Bytes LargeBox(const char* type, const Bytes& body) {
    return Be(1, 4) + type + Be(body.size() + 16, 8) + body;
}

std::string Format(const std::tm& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d w%d y%d", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, t.tm_wday, t.tm_yday);
    return text;
}

struct HeaderCase {
    const char* name;
    Bytes content;
    const char* time; // nullptr: creation time and duration must stay as preset
    std::uint32_t duration;
    mode_t mode = 0644; // read-only means no write bit at all
};

TEST(ReadMovieHeader, ReadsTheMovieHeaderBoxWhereverItIs) {
    const Bytes mdat = Box("mdat", Bytes(3000, '\x55'));
    const std::uint64_t y2012 = 2082844800ull + 1330837567; // 2012-03-04 05:06:07
    const Bytes truncatedMvhd = CameraMovie(y2012, 1000, 61500).substr(0, 58);
    const std::vector<HeaderCase> cases = {
        {"camera layout", CameraMovie(y2012, 1000, 61500), "2012-03-04 05:06:07 w0 y63", 61},
        {"clock never set", CameraMovie(0, 1000, 5000), nullptr, 0},
        {"before 1970", CameraMovie(2082844799, 1000, 5000), nullptr, 0},
        {"epoch start", CameraMovie(2082844800, 1, 5), "1970-01-01 00:00:00 w4 y0", 5},
        {"last 32-bit second", CameraMovie(4230328447, 600, 1200), "2038-01-19 03:14:07 w2 y18", 2},
        {"after 32-bit time", CameraMovie(4230328448, 600, 1200), "2038-01-19 03:14:08 w2 y18", 2},
        {"time scale 0", CameraMovie(y2012, 0, 95), "2012-03-04 05:06:07 w0 y63", 95},
        {"moov after mdat",
         Box("ftyp", "qt  " + Be(0x200, 4) + "qt  ") + mdat +
             Box("moov", Box("trak", "t") + Mvhd(0, y2012, 90000, 900000)),
         "2012-03-04 05:06:07 w0 y63", 10},
        {"version 1 past 2106",
         kCameraFtyp + Box("moov", Mvhd(1, 2082844800ull + 4418409600, 10, 0x500000000ull)),
         "2110-01-06 00:00:00 w1 y5", 0x80000000u},
        {"version 1 duration saturates", kCameraFtyp + Box("moov", Mvhd(1, y2012, 1, ~0ull)),
         "2012-03-04 05:06:07 w0 y63", 0xFFFFFFFFu},
        {"64-bit box sizes", LargeBox("mdat", "abc") + LargeBox("moov", Mvhd(0, y2012, 2, 8)),
         "2012-03-04 05:06:07 w0 y63", 4},
        {"moov size 0 runs to end", kCameraFtyp + Be(0, 4) + "moov" + Mvhd(0, y2012, 1, 3),
         "2012-03-04 05:06:07 w0 y63", 3},
        {"moov size overruns file",
         kCameraFtyp + Be(5000, 4) + "moov" + Mvhd(0, y2012, 1, 9) + "tail",
         "2012-03-04 05:06:07 w0 y63", 9},
        {"mvhd cut short", truncatedMvhd, nullptr, 0},
        {"garbage box size", kCameraFtyp + Be(3, 4) + "junk" + Box("moov", Mvhd(0, y2012, 1, 3)),
         nullptr, 0},
        {"mvhd outside moov", kCameraFtyp + Mvhd(0, y2012, 1, 3), nullptr, 0},
        {"unknown mvhd version", kCameraFtyp + Box("moov", Mvhd(2, y2012, 1, 3)), nullptr, 0},
        {"empty file", Bytes(), nullptr, 0},
        {"read-only, not converted", CameraMovie(0, 1, 1), nullptr, 0, 0444},
        {"group may write", CameraMovie(0, 1, 1), nullptr, 0, 0460},
        {"others may write", CameraMovie(0, 1, 1), nullptr, 0, 0402},
    };
    // The camera's layout is the one the fixed offsets were made for: creation time at 44,
    // time scale at 52, duration at 56.
    ASSERT_EQ(cases[0].content.substr(44, 4), Be(y2012, 4));
    ASSERT_EQ(cases[0].content.substr(52, 8), Be(1000, 4) + Be(61500, 4));

    test::TempDir dir;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const HeaderCase& c = cases[i];
        SCOPED_TRACE(c.name);
        const std::string path = dir.write(std::to_string(i) + ".MOV", c.content);
        ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
        std::tm time{};
        time.tm_year = 77;
        std::uint32_t duration = 12345;
        int readOnly = -1;
        ReadMovieHeader(path, time, duration, readOnly);
        EXPECT_EQ(readOnly, (c.mode & 0222) == 0 ? 1 : 0);
        EXPECT_EQ(c.time ? Format(time) : std::to_string(time.tm_year), c.time ? c.time : "77");
        EXPECT_EQ(duration, c.time ? c.duration : 12345u);
    }
    // What can't be opened as a file is left alone entirely.
    for (const std::string& path : {dir.file("missing.MOV"), dir.makeDir("folder.MOV")}) {
        std::uint32_t duration = 7;
        int readOnly = -1;
        std::tm time{};
        ReadMovieHeader(path, time, duration, readOnly);
        EXPECT_EQ(readOnly, -1) << path;
        EXPECT_EQ(duration, 7u) << path;
    }
}

TEST(ReadMovieHeader, ReadsMoviesMadeByFfmpeg) {
    test::TempDir dir;
    for (const char* flags : {"", "+faststart"}) {
        SCOPED_TRACE(flags);
        const std::string path = dir.file("ff.mov");
        std::vector<std::string> argv = {
            "ffmpeg", "-nostdin",  "-v",
            "error",  "-y",        "-f",
            "lavfi",  "-i",        "testsrc=size=64x48:rate=10",
            "-t",     "1",         "-c:v",
            "mpeg4",  "-metadata", "creation_time=2021-06-15T10:20:30Z"};
        if (*flags)
            argv.insert(argv.end(), {"-movflags", flags});
        argv.push_back(path);
        const auto r = test::RunProgram(argv);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        std::tm time{};
        std::uint32_t duration = 0;
        int readOnly = -1;
        ReadMovieHeader(path, time, duration, readOnly);
        EXPECT_EQ(Format(time), "2021-06-15 10:20:30 w2 y165");
        EXPECT_EQ(duration, 1u);
        EXPECT_EQ(readOnly, 0);
    }
}

TEST(FindTelemetryFile, LooksBesideThenInInfoIgnoringCase) {
    const struct {
        const char* name;
        std::vector<const char*> files; // created inside the test folder; M is a media folder
        const char* movie;              // relative to the test folder
        const char* expected;           // nullptr: not found
    } cases[] = {
        {"beside", {"DCIM/M/F1.DAT", "DCIM/INFO/F1.DAT"}, "DCIM/M/F1.MOV", "DCIM/M/F1.DAT"},
        {"lower-case extension replaced", {"DCIM/M/F1.DAT"}, "DCIM/M/F1.mov", "DCIM/M/F1.DAT"},
        {"info folder", {"DCIM/INFO/F1.DAT"}, "DCIM/M/F1.MOV", "DCIM/INFO/F1.DAT"},
        {"case-insensitive beside", {"DCIM/M/f1.dat"}, "DCIM/M/F1.mov", "DCIM/M/f1.dat"},
        {"case-insensitive info", {"DCIM/info/f1.Dat"}, "DCIM/M/F1.MOV", "DCIM/info/f1.Dat"},
        {"exact name first", {"DCIM/M/F1.DAT", "DCIM/M/f1.dat"}, "DCIM/M/F1.MOV", "DCIM/M/F1.DAT"},
        {"dot-dot resolved", {"INFO/F1.DAT"}, "DCIM/M/../F1.MOV", "INFO/F1.DAT"},
        {"a folder is no file", {"DCIM/M/F1.DAT/x"}, "DCIM/M/F1.MOV", nullptr},
        {"only two levels", {"INFO/F1.DAT"}, "DCIM/M/F1.MOV", nullptr},
        {"none", {"DCIM/INFO/F2.DAT"}, "DCIM/M/F1.MOV", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        dir.write("DCIM/M/F1.MOV", "");
        for (const char* f : c.files)
            dir.write(f, "[S]\t1\t2\t3\n");
        std::string found = "untouched";
        const bool ok = FindTelemetryFile(dir.file(c.movie), found);
        EXPECT_EQ(ok, c.expected != nullptr);
        if (c.expected) {
            std::error_code ec;
            EXPECT_TRUE(std::filesystem::equivalent(found, dir.file(c.expected), ec)) << found;
        } else {
            EXPECT_EQ(found, "untouched");
        }
    }
}

TEST(FindTelemetryFile, CountsCharactersNotBytes) {
    std::string found = "untouched";
    EXPECT_FALSE(FindTelemetryFile("/a.MO", found));
    EXPECT_FALSE(FindTelemetryFile("", found));
    // A movie in "/" looks beside itself, then in /INFO: the root is its own parent.
    EXPECT_FALSE(FindTelemetryFile("/no-such-quello-movie.MOV", found));
    EXPECT_EQ(found, "untouched");

    // Relative paths: the folder becomes the current directory for a while.
    test::TempDir dir;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const struct {
        const char* file;
        const char* movie;
        bool found;
    } cases[] = {
        {"rel/x.DAT", "rel/x.MOV", true},
        {"\xc3\xa9\xc3\xa9.DAT", "\xc3\xa9\xc3\xa9.MOV", false}, // 6 characters, 8 bytes
        {"abc\xc3\xa9.DAT", "abc\xc3\xa9.MOV", true},            // 8 characters
        {"ab/\xc3\xbf.DAT", "ab/\xc3\xbf.MO\xc3\xbf", true},     // last 3 characters go
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.movie);
        dir.write(c.file, "");
        found = "untouched";
        EXPECT_EQ(FindTelemetryFile(c.movie, found), c.found);
        EXPECT_EQ(found, c.found ? c.file : "untouched");
    }
    std::filesystem::current_path(previous);
}

} // namespace
} // namespace quello
