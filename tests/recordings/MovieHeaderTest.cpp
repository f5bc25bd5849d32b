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

// What the reader leaves in its outputs, preset to values it never writes: the creation time
// ("-" when left alone), the duration and the read-only flag.
std::string Read(const std::string& path) {
    std::tm t{};
    t.tm_year = 77;
    std::uint32_t duration = 12345;
    int readOnly = -1;
    ReadMovieHeader(path, t, duration, readOnly);
    char time[64] = "-";
    if (t.tm_year != 77)
        std::snprintf(time, sizeof time, "%04d-%02d-%02d %02d:%02d:%02d w%d y%d", t.tm_year + 1900,
                      t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, t.tm_wday, t.tm_yday);
    return std::string(time) + " " + std::to_string(duration) + " " + std::to_string(readOnly);
}

TEST(ReadMovieHeader, ReadsTheMovieHeaderBoxWhereverItIs) {
    const std::uint64_t y2012 = 2082844800ull + 1330837567;
    const std::string at2012 = "2012-03-04 05:06:07 w0 y63 ";
    const struct {
        const char* name;
        Bytes content;
        std::string read;
        mode_t mode = 0644; // read-only means no write bit at all
    } cases[] = {
        {"camera layout", CameraMovie(y2012, 1000, 61500), at2012 + "61 0"},
        {"clock never set", CameraMovie(0, 1000, 5000), "- 12345 0"},
        {"before 1970", CameraMovie(2082844799, 1000, 5000), "- 12345 0"},
        {"epoch start", CameraMovie(2082844800, 1, 5), "1970-01-01 00:00:00 w4 y0 5 0"},
        {"last 32-bit second", CameraMovie(4230328447, 600, 1200),
         "2038-01-19 03:14:07 w2 y18 2 0"},
        {"after 32-bit time", CameraMovie(4230328448, 600, 1200), "2038-01-19 03:14:08 w2 y18 2 0"},
        {"time scale 0", CameraMovie(y2012, 0, 95), at2012 + "95 0"},
        {"moov after mdat",
         Box("ftyp", "qt  " + Be(0x200, 4) + "qt  ") + Box("mdat", Bytes(3000, '\x55')) +
             Box("moov", Box("trak", "t") + Mvhd(0, y2012, 90000, 900000)),
         at2012 + "10 0"},
        {"version 1 past 2106",
         kCameraFtyp + Box("moov", Mvhd(1, 2082844800ull + 4418409600, 10, 0x500000000ull)),
         "2110-01-06 00:00:00 w1 y5 2147483648 0"},
        {"version 1 duration saturates", kCameraFtyp + Box("moov", Mvhd(1, y2012, 1, ~0ull)),
         at2012 + "4294967295 0"},
        {"64-bit box sizes", LargeBox("mdat", "abc") + LargeBox("moov", Mvhd(0, y2012, 2, 8)),
         at2012 + "4 0"},
        {"moov size 0 runs to end", kCameraFtyp + Be(0, 4) + "moov" + Mvhd(0, y2012, 1, 3),
         at2012 + "3 0"},
        {"moov size overruns file",
         kCameraFtyp + Be(5000, 4) + "moov" + Mvhd(0, y2012, 1, 9) + "tail", at2012 + "9 0"},
        {"mvhd cut short", CameraMovie(y2012, 1000, 61500).substr(0, 58), "- 12345 0"},
        {"garbage box size", kCameraFtyp + Be(3, 4) + "junk" + Box("moov", Mvhd(0, y2012, 1, 3)),
         "- 12345 0"},
        {"mvhd outside moov", kCameraFtyp + Mvhd(0, y2012, 1, 3), "- 12345 0"},
        {"unknown mvhd version", kCameraFtyp + Box("moov", Mvhd(2, y2012, 1, 3)), "- 12345 0"},
        {"empty file", Bytes(), "- 12345 0"},
        {"read-only", CameraMovie(0, 1, 1), "- 12345 1", 0444},
        {"group may write", CameraMovie(0, 1, 1), "- 12345 0", 0460},
        {"others may write", CameraMovie(0, 1, 1), "- 12345 0", 0402},
    };
    // The camera's layout is the one the fixed offsets were made for: creation time at 44,
    // time scale at 52, duration at 56.
    ASSERT_EQ(cases[0].content.substr(44, 16),
              Be(y2012, 4) + Be(y2012, 4) + Be(1000, 4) + Be(61500, 4));
    test::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.write(std::string(c.name) + ".MOV", c.content);
        ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
        EXPECT_EQ(Read(path), c.read);
    }
    // What can't be opened as a file is left alone entirely.
    EXPECT_EQ(Read(dir.file("missing.MOV")), "- 12345 -1");
    EXPECT_EQ(Read(dir.makeDir("folder.MOV")), "- 12345 -1");
}

TEST(ReadMovieHeader, ReadsMoviesMadeByFfmpeg) {
    test::TempDir dir;
    for (const char* flags : {"-faststart", "+faststart"}) {
        SCOPED_TRACE(flags);
        const std::string path = dir.file("ff.mov");
        const auto r =
            test::RunProgram({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                              "testsrc=size=64x48:rate=10", "-t", "1", "-c:v", "mpeg4", "-metadata",
                              "creation_time=2021-06-15T10:20:30Z", "-movflags", flags, path});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(Read(path), "2021-06-15 10:20:30 w2 y165 1 0");
    }
}

// Beside the movie, then in INFO one level up, names compared without case; the movie path is
// relative to the test folder, the current folder meanwhile, unless it starts with '/'.
TEST(FindTelemetryFile, LooksBesideThenInInfoIgnoringCase) {
    const struct {
        const char* name;
        std::vector<const char*> files; // created inside the test folder; M is a media folder
        const char* movie;
        const char* expected; // nullptr: not found
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
        {"6 characters, 8 bytes", {"\xc3\xa9\xc3\xa9.DAT"}, "\xc3\xa9\xc3\xa9.MOV", nullptr},
        {"8 characters", {"abc\xc3\xa9.DAT"}, "abc\xc3\xa9.MOV", "abc\xc3\xa9.DAT"},
        {"last 3 characters go", {"ab/\xc3\xbf.DAT"}, "ab/\xc3\xbf.MO\xc3\xbf", "ab/\xc3\xbf.DAT"},
        {"too short", {}, "/a.MO", nullptr},
        {"empty", {}, "", nullptr},
        {"root is its own parent", {}, "/no-such-quello-movie.MOV", nullptr},
    };
    const auto previous = std::filesystem::current_path();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        std::filesystem::current_path(dir.path());
        dir.write("DCIM/M/F1.MOV", "");
        for (const char* f : c.files)
            dir.write(f, "[S]\t1\t2\t3\n");
        std::string found = "untouched";
        EXPECT_EQ(FindTelemetryFile(c.movie, found), c.expected != nullptr);
        std::error_code ec;
        EXPECT_TRUE(c.expected ? std::filesystem::equivalent(found, dir.file(c.expected), ec)
                               : found == "untouched")
            << found;
    }
    std::filesystem::current_path(previous);
}

} // namespace
} // namespace quello
