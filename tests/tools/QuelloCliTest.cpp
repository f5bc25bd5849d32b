// The `quello` program run as a user runs it: real files in scratch folders, the exit code,
// stdout and stderr checked. The readers and writers behind each command have their own
// tables in the core tests; here each command and each way it fails is met once.
#include "tests/support/MovieBytes.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/SetupCfg.h"
#include "tests/support/TempDir.h"
#include "tests/support/TmpfsMount.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iomanip>
#include <sstream>
#include <sys/stat.h>

namespace quello::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::size_t LineCount(const std::string& text) {
    return std::size_t(std::count(text.begin(), text.end(), '\n'));
}

// The words of `args`, with "@" standing for the folder `dir`.
std::vector<std::string> Args(const std::string& args, const std::string& dir) {
    std::vector<std::string> words;
    std::istringstream in(args);
    for (std::string w; in >> w; words.push_back(w))
        for (std::size_t at; (at = w.find('@')) != std::string::npos;)
            w.replace(at, 1, dir);
    return words;
}

// Refusals print one line to stderr (a usage error may add the usage) and write nothing: no
// evidence pack and no hidden folder it was being built in.
TEST(QuelloCli, BadInputIsRefusedWithOneLineAndNothingWritten) {
    const struct {
        const char* args;
        int exitCode;
        const char* message; // expected in stderr
    } cases[] = {
        {"", 2, "usage: quello"},
        {"play", 2, "unknown command 'play'"},
        {"info", 2, "no movie given"},
        {"info @/card/junk.bin @/nope", 1, "nope: no such"},
        {"info --fast @/card/junk.bin", 2, "unknown option"},
        {"telemetry @/card", 1, "is a directory"},
        {"telemetry @/fifo", 1, "not a regular file"},
        {"telemetry @/a.DAT @/b.DAT", 2, "exactly one"},
        {"telemetry @/card/junk.bin --format xml", 2, "unknown format 'xml'"},
        {"telemetry @/card/junk.bin --format", 2, "needs a value"},
        {"telemetry @/card/junk.bin --offset 1.5", 2, "--offset must be whole seconds"},
        {"telemetry @/a.DAT --offset 5", 2, "apply to a movie"},
        {"telemetry @/card/junk.bin --gps @/nope.gpx", 1, "nope.gpx: no such"},
        {"events @/card/junk.bin --threshold 0", 2, "threshold must be a number"},
        {"events", 2, "exactly one"},
        {"kml @/card/junk.bin", 2, "output folder"},
        {"kml --output @/card/junk.bin @/card/junk.bin", 1, "not a directory"},
        {"card @/gone", 1, "Can't find device!"},
        {"settings @", 1, "Can't find device!"},
        {"settings @ @/card", 2, "exactly one card folder"},
        {"settings @/card --resolution 6", 2, "--resolution must be 0..5"},
        {"settings @/card --timezone 13", 2, "--timezone must be -12..12"},
        {"settings @/card --sensitivity=1,11,3", 2, "--sensitivity"},
        {"settings @/ro --timezone 1", 1, "Save data failed!"},
        {"evidence @/card/junk.bin --at 1", 2, "give one movie, --at and -o"},
        {"evidence @/card/junk.bin --at -1 -o @/pack", 2, "--at takes a number"},
        {"evidence @/card/junk.bin --at 1 -o @/pack --clip-seconds 0", 2, "--clip-seconds takes"},
        {"evidence @/card/junk.bin --at 1 -o @/card", 1, "the folder is not empty"},
        {"evidence @/card/junk.bin --at 1 -o @/ro/setup.cfg", 1, "is not a folder"},
        {"evidence @/card/junk.bin --at 1 -o @/none/pack", 1, "none: no such folder"},
        {"evidence @/nope --at 1 -o @/pack", 1, "nope: No such file"},
        {"evidence @/card/junk.bin --at 1 -o @/pack", 1, "not a playable movie"},
        {"find @/card", 1, "the library has no index"},
        {"find @/ro", 1, "the library's index is damaged; rebuild it"},
        {"find @/card --radius 5", 2, "--radius goes with --near"},
        {"find @/card --near 91,0", 2, "--near takes LAT,LON"},
        {"find @/card --from 2026-02-29", 2, "--from takes"},
    };
    const TempDir dir;
    dir.write("card/junk.bin", std::string("\x00\xff\x13\x37", 4));
    const std::string cfg = dir.write("card/setup.cfg", SetupCfg());
    const std::string readOnly = dir.write("ro/setup.cfg", SetupCfg());
    dir.write("ro/library.sqlite", std::string(4096, '\x5a'));
    ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
    const auto before = std::filesystem::last_write_time(cfg);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const ProgramResult r = RunQuello(Args(c.args, dir.path()));
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_TRUE(c.exitCode != 1 || LineCount(r.err) == 1) << r.err;
    }
    EXPECT_EQ(TempDir::read(cfg) + TempDir::read(readOnly), SetupCfg() + SetupCfg());
    EXPECT_EQ(std::filesystem::last_write_time(cfg), before);
    EXPECT_EQ(dir.entries(), (std::set<std::string>{"card", "fifo", "ro"}));
    EXPECT_EQ(dir.entries(dir.file("card")), (std::set<std::string>{"junk.bin", "setup.cfg"}));
}

// JSON on one line holding every slot, also when a fix's texts are no UTF-8; CSV and GPX byte
// for byte the writers' golden documents, the track named after the file.
TEST(QuelloCli, TelemetryInEachFormat) {
    const TempDir dir;
    const ProgramResult r =
        RunQuello({"telemetry", dir.write("t.DAT", "[S]\t24\t-24\t1000\r\n"
                                                   "[G]\t\xff\xfe\t\xc3\t\x80N1\tE2\t1\t2\n")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(LineCount(r.out), 1u);
    const json doc = json::parse(r.out);
    EXPECT_EQ(doc["loaded"], true);
    EXPECT_EQ(doc["source"], "dat");
    EXPECT_EQ(doc["samples"], json({{24, -24, 1000}}));
    EXPECT_EQ(doc["fixes"].back()["latitude"], "N1");
    const std::string golden = QUELLO_GOLDEN_DIR "/drive-full";
    for (const std::string format : {"csv", "gpx"}) {
        const ProgramResult r = RunQuello({"telemetry", golden + ".DAT", "--format=" + format});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, TempDir::read(golden + "." + format)) << format;
    }
}

// A movie reports the source the player would take, and the offset that moved its fixes: the
// folder's saved offset unless --offset is given, a GPX given with --gps before the side file,
// the camera's .DAT before everything.
TEST(QuelloCli, TelemetryOfAMovieNamesItsSource) {
    const TempDir dir;
    // The movie's clock runs on UTC+2 and stores that as UTC: 11:41:08 for 09:41:08 UTC.
    const std::string movie =
        dir.write("M.MOV", CameraMovie(1778931668 + kSecondsFrom1904To1970, 1000, 5000));
    const std::string csv = dir.write("p.csv", "lat,lon,utc_d,utc_t\n"
                                               "40.7669,-73.9711,2026/05/16,09:41:08\n"
                                               "40.7670,-73.9711,2026/05/16,09:41:09\n");
    for (const std::string& out : {dir.file("M.gpx"), dir.file("mine.gpx")})
        ASSERT_EQ(RunProgram({"gpsbabel", "-i", "unicsv", "-f", csv, "-x", "transform,trk=wpt,del",
                              "-o", "gpx", "-F", out})
                      .exitCode,
                  0);
    const struct {
        const char* step;
        std::vector<std::string> options;
        std::string source;
        int offset, fixCount;
    } steps[] = {
        {"no offset: the fixes lie before the movie", {}, "none", 0, 0},
        {"the offset given", {"--offset", "7200"}, "gpx", 7200, 2},
        {"the folder's offset", {}, "gpx", 7200, 2},
        {"the folder's offset overridden", {"--offset=0"}, "none", 0, 0},
        {"the user's GPX", {"--gps", dir.file("mine.gpx")}, "user-gpx", 7200, 2},
        {"the camera's telemetry", {}, "dat", 0, 1},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.step);
        if (std::string(step.step) == "the folder's offset")
            dir.write(".quello-gps", "offset\tM.MOV\t7200\n");
        if (step.source == "dat")
            dir.write("M.DAT", "[G]\t2026/05/16\t11:41:08\tN1.5\tE2.5\t3\t4\n");
        std::vector<std::string> args{"telemetry", movie};
        args.insert(args.end(), step.options.begin(), step.options.end());
        const ProgramResult r = RunQuello(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const json doc = json::parse(r.out);
        EXPECT_EQ(doc["loaded"], step.fixCount > 0);
        EXPECT_EQ(doc["source"], step.source);
        EXPECT_EQ(doc["offsetSeconds"], step.offset);
        ASSERT_EQ(doc["fixCount"], step.fixCount);
        if (step.fixCount == 2) {
            EXPECT_EQ(doc["fixes"][1], json({{"dateTime", "2026/05/16 11:41:09"},
                                             {"latitude", "40.767000"},
                                             {"longitude", "-73.971100"},
                                             {"speed", 40},
                                             {"heading", 0}}));
        }
    }
    // On the camera's card the card's time zone (+2) corrects the clock; --offset adds to it.
    dir.write("card/setup.cfg", SetupCfg({.timeZone = 2}));
    const std::string onCard =
        dir.write("card/DCIM/100MEDIA/C.MOV", TempDir::read(dir.file("M.MOV")));
    dir.write("card/DCIM/100MEDIA/C.gpx", TempDir::read(dir.file("M.gpx")));
    for (const auto& [offset, source, total] :
         {std::tuple{"--offset=0", "gpx", 7200}, {"--offset=-7200", "none", 0}}) {
        const ProgramResult r = RunQuello({"telemetry", onCard, offset});
        const json doc = json::parse(r.out);
        EXPECT_EQ(doc["source"], source) << offset;
        EXPECT_EQ(doc["offsetSeconds"], total) << offset;
    }
}

// One line a log in order; relative paths, a bare log name included, are taken from the
// current folder, and an existing KML is replaced.
TEST(QuelloCli, KmlReportsEachLog) {
    const TempDir dir;
    const std::string good = dir.write("logs/0101.log", "093107\tN22.5431\tE114.0578\t1\r\n");
    dir.write("logs/folder.log/x", "");
    const std::string out = dir.makeDir("out");
    const ProgramResult r = RunQuello(
        {"kml", "--output", out, good, dir.file("logs/none.log"), dir.file("logs/folder.log")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "OK " + out + "/0101.kml\nFailed! -1\nFailed! -2\n");
    EXPECT_EQ(LineCount(r.err), 1u);
    const ProgramResult again =
        RunQuello({"kml", "--output", "../out/", "0101.log"}, dir.file("logs"));
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.out, "OK " + out + "/0101.kml\n");
}

// Saves in a row on a card whose record carries another trailer and a Z sensitivity above the
// dialog's range: whether the file was replaced (a new inode or modification time), and the
// record then, byte for byte: options not given keep the stored values. The card command then
// shows the last record among the folders that hold a valid one.
TEST(QuelloCli, SettingsRoundTripAndTheCardShowsTheResult) {
    const struct {
        const char* options;
        bool written;
        std::string fields; // bytes 6..10: mode, time zone, sensitivities
    } steps[] = {
        {"", true, "\x85\xFB\x05\x06\x0C"}, // the other trailer forces a write
        {"--timezone -5 --resolution 0", false, "\x85\xFB\x05\x06\x0C"},
        {"--resolution 5 --timezone=+3 --sensitivity 0,10,4", true,
         std::string("\x9D\x03\x00\x0A\x04", 5)},
    };
    const TempDir dir;
    const std::string stored = SetupCfg({.sensitivity = {5, 6, 12}, .trailer = 0x01020304u});
    const std::string cfg = dir.write("card/setup.cfg", stored);
    const auto stamp = [&cfg] {
        struct stat st {};
        EXPECT_EQ(stat(cfg.c_str(), &st), 0);
        return std::pair(st.st_ino, st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec);
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.options);
        const auto before = stamp();
        const ProgramResult r =
            RunQuello(Args(std::string("settings @/card ") + s.options, dir.path()));
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, "Success!\n");
        EXPECT_EQ(before != stamp(), s.written);
        EXPECT_EQ(TempDir::read(cfg),
                  std::string(stored).replace(6, 5, s.fields).replace(124, 4, "\x50\x0E\x05\x53"));
    }
    EXPECT_EQ(dir.entries(dir.file("card")), std::set<std::string>{"setup.cfg"}); // no temporary
    dir.write("a/setup.cfg", SetupCfg());
    dir.write("short/setup.cfg", SetupCfg().substr(0, 127));
    const ProgramResult r = RunQuello(Args("card @/a @/card @/short", dir.path()));
    std::string hex;
    for (unsigned char b : TempDir::read(cfg))
        hex += std::string("0123456789abcdef").substr(b >> 4, 1) + "0123456789abcdef"[b & 15];
    EXPECT_EQ(json::parse(r.out), json({{"root", dir.file("card/")},
                                        {"record", hex},
                                        {"resolutionIndex", 5},
                                        {"timeZone", 3},
                                        {"sensitivity", {0, 10, 4}},
                                        {"updateFlag", 1}}));
}

// A folder that cannot be synced after the rename holds the new file all the same: that is a
// successful save, not a failed one. Every writer saves through the same atomic file.
TEST(QuelloCli, AFolderSyncFailureAfterTheRenameIsNoFailedSave) {
    const TempDir dir;
    const std::string cfg = dir.write("card/setup.cfg", SetupCfg());
    const char* asan = std::getenv("ASAN_OPTIONS");
    const ProgramResult r =
        RunProgram({"/usr/bin/env", std::string("LD_PRELOAD=") + FAIL_FOLDER_SYNC_LIB,
                    std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":verify_asan_link_order=0",
                    QUELLO_BIN, "settings", dir.file("card"), "--timezone", "3"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Success!\n");
    EXPECT_EQ(TempDir::read(cfg)[7], 3);
}

// The folder fills up while a file is saved (the KML converter's own tests fill it too): each
// writer reports the failure, keeps the old file byte for byte and leaves nothing else there;
// with room again the same command replaces the file, so the failure came from the full disk.
TEST(QuelloCli, AFullDiskFailsTheSaveAndKeepsTheOldFile) {
    const TempDir dir;
    const std::string card = dir.makeDir("card");
    const TmpfsMount disk(card, 1 << 20);
    if (!disk.error().empty())
        GTEST_SKIP() << disk.error();
    const std::string movie = QUELLO_TEST_MEDIA_DIR "/long.mov";
    dir.write("card/setup.cfg", SetupCfg());
    const struct {
        const char* file;
        std::vector<std::string> args;
        std::size_t freeBytes; // left on the disk: some writers fail part-way
    } cases[] = {
        {"shot.jpg", {"snapshot", movie, "--at", "1", "-o", card + "/shot.jpg"}, 0},
        {"setup.cfg", {"settings", card, "--timezone", "3"}, 0},
        {"page.pdf", {"print", movie, "--at", "1", "-o", card + "/page.pdf"}, 8192},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = card + "/" + c.file;
        if (TempDir::read(path).empty())
            dir.write(std::string("card/") + c.file, "old");
        const std::string old = TempDir::read(path);
        ASSERT_TRUE(disk.fill(c.freeBytes));
        const auto entries = dir.entries(card);
        const ProgramResult full = RunQuello(c.args);
        EXPECT_EQ(full.exitCode, 1) << full.out;
        EXPECT_EQ(LineCount(full.err), 1u) << full.err;
        EXPECT_EQ(TempDir::read(path), old);
        EXPECT_EQ(dir.entries(card), entries) << "a partial or temporary file was left";
        disk.unfill();
        EXPECT_EQ(RunQuello(c.args).exitCode, 0);
        EXPECT_NE(TempDir::read(path), old);
    }
}

// Seconds since 1970 of a time text in `format`.
std::int64_t Seconds(const json& text, const char* format) {
    std::tm tm{};
    std::istringstream in(text.get<std::string>());
    in >> std::get_time(&tm, format);
    return timegm(&tm);
}

// The card written by tools/make-demo-card (see tests/support/DemoCard.cmake), met the way a
// new user first meets it: found as the camera's card, movies whose start and length their
// telemetry confirms (its first fix tells the camera clock at the end of second 0), one of
// them read-only, one without telemetry (beside the movie or in INFO); a file that is no
// movie has no times. The GPS log of the drive converts whole, as gpsbabel reads it back.
TEST(QuelloCli, TheDemoCardOpensInEveryCommand) {
    const std::string card = QUELLO_DEMO_CARD;
    EXPECT_EQ(json::parse(RunQuello({"card", "/nonexistent", card}).out)["root"], card + "/");
    std::vector<std::string> args{"info"}, logs;
    for (const auto& entry : fs::recursive_directory_iterator(card)) {
        if (entry.path().extension() == ".MOV" || entry.path().extension() == ".log")
            (entry.path().extension() == ".log" ? logs : args).push_back(entry.path());
    }
    std::sort(args.begin() + 1, args.end());
    ASSERT_EQ(args.size(), 6u);
    const TempDir dir;
    args.push_back(dir.write("junk.MOV", std::string(300, '\xA5')));
    json movies = json::parse(RunQuello(args).out);
    for (const char* key : {"creationTime", "durationSeconds", "telemetryPath"})
        EXPECT_TRUE(movies.back()[key].is_null()) << key;
    movies.erase(movies.size() - 1);
    int readOnly = 0, withoutTelemetry = 0;
    std::vector<std::string> events;
    for (const json& m : movies) {
        SCOPED_TRACE(m["path"].get<std::string>());
        const int seconds = m["durationSeconds"];
        readOnly += m["readOnly"].get<bool>();
        withoutTelemetry += m["telemetryPath"].is_null();
        if (m["telemetryPath"].is_null())
            continue;
        const std::string dat = m["telemetryPath"];
        const json t = json::parse(RunQuello({"telemetry", dat}).out);
        EXPECT_EQ(t["sampleCount"], seconds * 10);
        ASSERT_EQ(t["fixCount"], seconds + 1); // slot 0 stays empty
        EXPECT_EQ(Seconds(t["fixes"][1]["dateTime"], "%Y/%m/%d %H:%M:%S"),
                  Seconds(m["creationTime"], "%Y-%m-%d %H:%M:%S") + 1);
        for (const json& e : json::parse(RunQuello({"events", dat}).out))
            events.push_back(fs::path(dat).stem().string() + " " + e["kind"].get<std::string>() +
                             " " + std::to_string(e["peak"].get<double>()).substr(0, 4));
    }
    // The drive's one hard stop, for the jaywalker, and nothing in the calm minutes around it.
    EXPECT_EQ(events, std::vector<std::string>{"FILE0004 braking 12.7"});
    EXPECT_EQ(readOnly, 1);
    EXPECT_EQ(withoutTelemetry, 1);

    ASSERT_EQ(logs.size(), 1u);
    const ProgramResult kml = RunQuello({"kml", "--output", dir.path(), logs[0]});
    ASSERT_EQ(kml.exitCode, 0) << kml.err;
    const ProgramResult back =
        RunProgram({"gpsbabel", "-t", "-i", "kml", "-f", kml.out.substr(3, kml.out.size() - 4),
                    "-o", "unicsv", "-F", "-"});
    EXPECT_EQ(LineCount(back.out), LineCount(TempDir::read(logs[0])) + 1) << back.err; // + header
}

// A snapshot's Exif block tells the moment on screen as the other commands read the movie: its
// start (`quello info`) run on by the whole seconds of the position, and the fix the player
// shows for that second (`quello telemetry`: fix i from second i + 1 on), or no GPS at all
// where the player shows none.
TEST(QuelloCli, SnapshotsCarryTheClockAndFixOfTheMomentOnScreen) {
    const std::string media = std::string(QUELLO_DEMO_CARD) + "/DCIM/100MEDIA/";
    const struct {
        const char* movie;
        int at;
        bool gps;
    } cases[] = {{"FILE0001.MOV", 12, true},
                 {"FILE0002.MOV", 29, true},  // its telemetry lies in INFO
                 {"FILE0001.MOV", 1, false},  // no fix before the first second's end
                 {"FILE0003.MOV", 5, false}}; // no telemetry
    const TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.movie) + " at " + std::to_string(c.at));
        const std::string movie = media + c.movie, shot = dir.file("shot.jpg");
        const std::string at = std::to_string(c.at) + ".25";
        ASSERT_EQ(RunQuello({"snapshot", movie, "--at", at, "-o", shot}).exitCode, 0);
        const json exif =
            json::parse(RunProgram({"exiftool", "-j", "-n", "-DateTimeOriginal", "-GPSLatitude",
                                    "-GPSLongitude", "-GPSSpeed", "-GPSImgDirection", shot})
                            .out)[0];
        const json info = json::parse(RunQuello({"info", movie}).out)[0];
        const std::time_t taken = Seconds(info["creationTime"], "%Y-%m-%d %H:%M:%S") + c.at;
        std::ostringstream clock;
        clock << std::put_time(std::gmtime(&taken), "%Y:%m:%d %H:%M:%S");
        EXPECT_EQ(exif.value("DateTimeOriginal", ""), clock.str());
        EXPECT_EQ(exif.contains("GPSLatitude"), c.gps);
        if (!c.gps)
            continue;
        const json fix =
            json::parse(RunQuello({"telemetry", info["telemetryPath"]}).out)["fixes"][c.at - 1];
        char position[64];
        std::snprintf(position, sizeof position, "%.6f %.6f", exif["GPSLatitude"].get<double>(),
                      exif["GPSLongitude"].get<double>());
        EXPECT_EQ(position,
                  fix["latitude"].get<std::string>() + " " + fix["longitude"].get<std::string>());
        EXPECT_EQ(exif["GPSSpeed"], fix["speed"]);
        EXPECT_EQ(exif["GPSImgDirection"], fix["heading"].get<int>() % 360);
    }
}

} // namespace
} // namespace quello::test
