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
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <sys/stat.h>

namespace quello::test {
namespace {

using nlohmann::json;

std::size_t LineCount(const std::string& text) {
    return std::size_t(std::count(text.begin(), text.end(), '\n'));
}

// The words of `args`, with "@" standing for the folder `dir`.
std::vector<std::string> Args(const std::string& args, const std::string& dir) {
    std::vector<std::string> words;
    std::istringstream in(args);
    for (std::string w; in >> w;) {
        for (std::size_t at; (at = w.find('@')) != std::string::npos;)
            w.replace(at, 1, dir);
        words.push_back(w);
    }
    return words;
}

TEST(QuelloCli, BadInputIsRefusedWithOneLineAndNothingWritten) {
    const struct {
        const char* args;
        int exitCode;
        const char* message; // expected in the stderr message, one line when exitCode is 1
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
        {"kml @/card/junk.bin", 2, "output folder"},
        {"kml --output @/card/junk.bin @/card/junk.bin", 1, "not a directory"},
        {"card @/gone", 1, "Can't find device!"},
        {"settings @", 1, "Can't find device!"},
        {"settings @ @/card", 2, "exactly one card folder"},
        {"settings @/card --resolution 6", 2, "--resolution must be 0..5"},
        {"settings @/card --timezone 13", 2, "--timezone must be -12..12"},
        {"settings @/card --sensitivity 1,2", 2, "--sensitivity"},
        {"settings @/card --sensitivity=1,11,3", 2, "--sensitivity"},
        {"settings @/ro --timezone 1", 1, "Save data failed!"},
    };
    const TempDir dir;
    dir.write("card/junk.bin", std::string("\x00\xff\x13\x37", 4));
    const std::string cfg = dir.write("card/setup.cfg", SetupCfg());
    const std::string readOnly = dir.write("ro/setup.cfg", SetupCfg());
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
    EXPECT_EQ(TempDir::read(cfg), SetupCfg());
    EXPECT_EQ(TempDir::read(readOnly), SetupCfg());
    EXPECT_EQ(std::filesystem::last_write_time(cfg), before);
    EXPECT_EQ(dir.entries(), (std::set<std::string>{"card", "fifo", "ro"}));
    EXPECT_EQ(dir.entries(dir.file("card")), (std::set<std::string>{"junk.bin", "setup.cfg"}));
}

TEST(QuelloCli, HelpIsShownForEveryCommand) {
    for (const char* command : {"info", "telemetry", "kml", "card", "settings"}) {
        const ProgramResult r = RunQuello({"help", command});
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out.rfind(std::string("usage: quello ") + command, 0), 0u) << r.out;
        EXPECT_EQ(RunQuello({command, "/x", "-h"}).out, r.out);
    }
}

TEST(QuelloCli, InfoReportsEachMovie) {
    const TempDir dir;
    const std::string movie =
        dir.write("M/FILE0001.MOV", CameraMovie(1262401445u + kSecondsFrom1904To1970, 600, 18000));
    const std::string dat = dir.write("M/FILE0001.DAT", "[S]\t1\t2\t3\n");
    const std::string junk = dir.write("M/junk.MOV", std::string(300, '\xA5'));
    chmod(junk.c_str(), 0444);
    const ProgramResult r = RunQuello({"info", movie, junk});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(json::parse(r.out), json::parse(R"([
        {"path": ")" + movie + R"(", "creationTime": "2010-01-02 03:04:05",
         "durationSeconds": 30, "readOnly": false, "telemetryPath": ")" +
                                              dat + R"("},
        {"path": ")" + junk + R"(", "creationTime": null, "durationSeconds": null,
         "readOnly": true, "telemetryPath": null}])"));
}

std::string SampleLines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "[S]\t" + std::to_string(i) + "\t" + std::to_string(-i) + "\t1000\r\n";
    return text;
}

// Bytes that are no UTF-8 in a fix's texts still give one valid JSON document on one line.
TEST(QuelloCli, TelemetryJsonHoldsEverySlot) {
    const TempDir dir;
    const ProgramResult r =
        RunQuello({"telemetry", dir.write("t.DAT", SampleLines(25) +
                                                       "[G]\t\xff\xfe\t\xc3\t\x80N1\tE2\t1\t2\n")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(LineCount(r.out), 1u);
    const json doc = json::parse(r.out);
    EXPECT_EQ(doc["loaded"], true);
    EXPECT_EQ(doc["sampleCount"], 25);
    EXPECT_EQ(doc["fixCount"], 3);
    ASSERT_EQ(doc["samples"].size(), 25u);
    ASSERT_EQ(doc["fixes"].size(), 3u);
    EXPECT_EQ(doc["samples"][24], json({24, -24, 1000}));
    EXPECT_EQ(doc["fixes"][2]["latitude"], "N1");
}

// CSV and GPX byte for byte the writers' golden documents, the track named after the file.
TEST(QuelloCli, TelemetryCsvAndGpxAreTheGoldenDocuments) {
    const std::string golden = QUELLO_GOLDEN_DIR "/drive-full";
    for (const std::string format : {"csv", "gpx"}) {
        const ProgramResult r = RunQuello({"telemetry", golden + ".DAT", "--format=" + format});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, TempDir::read(golden + "." + format)) << format;
    }
}

TEST(QuelloCli, KmlReportsEachLog) {
    const TempDir dir;
    const std::string good = dir.write("logs/0101.log", "093107\tN22.5431\tE114.0578\t1\r\n"
                                                        "093108\tN22.5432\tE114.0579\t1\r\n");
    dir.write("logs/folder.log/x", "");
    const std::string out = dir.makeDir("out");
    const ProgramResult r = RunQuello(
        {"kml", "--output", out, good, dir.file("logs/none.log"), dir.file("logs/folder.log")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "OK " + out + "/0101.kml\nFailed! -1\nFailed! -2\n");
    EXPECT_EQ(LineCount(r.err), 1u);
    EXPECT_EQ(RunProgram({"xmllint", "--noout", out + "/0101.kml"}).exitCode, 0);
    EXPECT_EQ(dir.entries(out), std::set<std::string>{"0101.kml"});

    // Relative paths, a bare log name included, are taken from the current folder; an
    // existing KML is replaced.
    const ProgramResult again =
        RunQuello({"kml", "--output", "../out/", "0101.log"}, dir.file("logs"));
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.out, "OK " + out + "/0101.kml\n");
}

TEST(QuelloCli, CardPrintsTheLastValidRoot) {
    const TempDir dir;
    dir.write("a/setup.cfg", SetupCfg({.timeZone = -12}));
    const std::string record = SetupCfg({.timeZone = 12, .trailer = 0x01020304u});
    dir.write("b/setup.cfg", record);
    dir.write("short/setup.cfg", SetupCfg().substr(0, 127));
    const ProgramResult r = RunQuello(Args("card @/a @/b @/short", dir.path()));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string hex;
    for (unsigned char b : record)
        hex += std::string("0123456789abcdef").substr(b >> 4, 1) + "0123456789abcdef"[b & 15];
    EXPECT_EQ(json::parse(r.out), json({{"root", dir.file("b/")},
                                        {"record", hex},
                                        {"resolutionIndex", 0},
                                        {"timeZone", 12},
                                        {"sensitivity", {5, 6, 7}},
                                        {"updateFlag", 0}}));
}

// Inode and modification time: replacing the file changes both.
std::pair<ino_t, std::int64_t> Stamp(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    return {st.st_ino, st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec};
}

// Saves in a row on a card whose record carries another trailer and a Z sensitivity above the
// dialog's range: whether the file was replaced, and the record then, byte for byte: options
// not given keep the stored values.
TEST(QuelloCli, SettingsRoundTrip) {
    const struct {
        const char* options;
        bool written;
        std::string fields; // bytes 6..10: mode, time zone, sensitivities
    } steps[] = {
        {"", true, "\x85\xFB\x05\x06\x0C"}, // the other trailer forces a write
        {"", false, "\x85\xFB\x05\x06\x0C"},
        {"--timezone -5 --resolution 0", false, "\x85\xFB\x05\x06\x0C"},
        {"--resolution 5 --timezone=+3 --sensitivity 0,10,4", true,
         std::string("\x9D\x03\x00\x0A\x04", 5)},
    };
    const TempDir dir;
    const std::string stored = SetupCfg({.sensitivity = {5, 6, 12}, .trailer = 0x01020304u});
    const std::string cfg = dir.write("card/setup.cfg", stored);
    const std::string root = dir.file("card");
    for (const auto& s : steps) {
        SCOPED_TRACE(s.options);
        const auto before = Stamp(cfg);
        std::vector<std::string> args = Args(s.options, "");
        args.insert(args.begin(), {"settings", root});
        const ProgramResult r = RunQuello(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, "Success!\n");
        EXPECT_EQ(before != Stamp(cfg), s.written);
        std::string expected = stored;
        expected.replace(6, 5, s.fields);
        expected.replace(124, 4, "\x50\x0E\x05\x53");
        EXPECT_EQ(TempDir::read(cfg), expected);
    }
    EXPECT_EQ(dir.entries(root), std::set<std::string>{"setup.cfg"}); // no temporary left
}

// A folder that cannot be synced after the rename holds the new file all the same: that is a
// successful save, not a failed one.
TEST(QuelloCli, AFolderSyncFailureAfterTheRenameIsNoFailedSave) {
    const TempDir dir;
    const std::string cfg = dir.write("card/setup.cfg", SetupCfg());
    const std::string log = dir.write("logs/0101.log", "1\tN1.5\tE2.5\t1\n");
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::vector<std::string> preload = {
        "/usr/bin/env", std::string("LD_PRELOAD=") + FAIL_FOLDER_SYNC_LIB,
        std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":verify_asan_link_order=0",
        QUELLO_BIN};
    const struct {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"settings", dir.file("card"), "--timezone", "3"}, "Success!\n"},
        {{"kml", "--output", dir.file("logs"), log}, "OK " + dir.file("logs/0101.kml\n")},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv = preload;
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const ProgramResult r = RunProgram(argv);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, c.out);
    }
    EXPECT_EQ(TempDir::read(cfg)[7], 3);
}

// The folder fills up while a file is saved: each writer reports the failure, keeps the old
// file byte for byte and leaves nothing else there; with room again the same command replaces
// the file, so the failure came from the full disk alone.
TEST(QuelloCli, AFullDiskFailsTheSaveAndKeepsTheOldFile) {
    const TempDir dir;
    const std::string card = dir.makeDir("card");
    const TmpfsMount disk(card, 1 << 20);
    if (!disk.error().empty())
        GTEST_SKIP() << disk.error();
    std::string log;
    for (int i = 0; i < 2000; ++i)
        log += "2026/12/06 08:15:01\tN22.543210\tE114.057800\t40\t87\r\n";
    const std::string logPath = dir.write("0101.log", log);
    const std::string movie = QUELLO_TEST_MEDIA_DIR "/long.mov";
    dir.write("card/setup.cfg", SetupCfg());
    const struct {
        const char* file;
        std::vector<std::string> args;
        std::size_t freeBytes; // left on the disk: some writers fail part-way
    } cases[] = {
        {"shot.jpg", {"snapshot", movie, "--at", "1", "-o", card + "/shot.jpg"}, 0},
        {"0101.kml", {"kml", "--output", card, logPath}, 16384},
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
        const ProgramResult room = RunQuello(c.args);
        EXPECT_EQ(room.exitCode, 0) << room.err;
        EXPECT_NE(TempDir::read(path), old);
    }
}

} // namespace
} // namespace quello::test
