// The `quello` program run as a user runs it: real files in scratch folders, the exit code,
// stdout and stderr checked.
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
#include <filesystem>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

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
        const char* message; // expected in the one-line stderr message
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
    };
    const TempDir dir;
    dir.write("card/junk.bin", std::string("\x00\xff\x13\x37", 4));
    const std::string cfg = dir.write("card/setup.cfg", SetupCfg());
    ASSERT_EQ(mkfifo((dir.path() + "/fifo").c_str(), 0600), 0);
    const auto before = fs::last_write_time(cfg);

    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const ProgramResult r = RunQuello(Args(c.args, dir.path()));
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        if (c.exitCode == 1) {
            EXPECT_EQ(LineCount(r.err), 1u) << r.err;
        }
    }
    // Nothing on the card was touched or added.
    EXPECT_EQ(TempDir::read(cfg), SetupCfg());
    EXPECT_EQ(fs::last_write_time(cfg), before);
    EXPECT_EQ(TempDir::entries(dir.path()), (std::set<std::string>{"card", "fifo"}));
    EXPECT_EQ(TempDir::entries(dir.path() + "/card"),
              (std::set<std::string>{"junk.bin", "setup.cfg"}));
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
    struct Case {
        const char* name;
        std::string bytes;
        bool readOnly;
        const char* telemetryAt; // relative to the card, or nullptr
        json creationTime;
        json duration;
    };
    const std::vector<Case> cases = {
        {"DCIM/100MEDIA/FILE0001.MOV",
         CameraMovie(1262401445u + kSecondsFrom1904To1970, 600, 18000), false,
         "DCIM/100MEDIA/FILE0001.DAT", "2010-01-02 03:04:05", 30},
        {"DCIM/100MEDIA/FILE0002.MOV", CameraMovie(0, 600, 18000), true, "DCIM/INFO/FILE0002.DAT",
         nullptr, nullptr},
        {"DCIM/100MEDIA/junk.MOV", std::string(300, '\xA5'), true, nullptr, nullptr, nullptr},
    };
    const TempDir dir;
    std::vector<std::string> args{"info"};
    for (const auto& c : cases) {
        args.push_back(dir.write(c.name, c.bytes));
        if (c.readOnly)
            chmod(args.back().c_str(), 0444);
        if (c.telemetryAt)
            dir.write(c.telemetryAt, "[S]\t1\t2\t3\n");
    }
    const ProgramResult r = RunQuello(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const json movies = json::parse(r.out);
    ASSERT_TRUE(movies.is_array());
    ASSERT_EQ(movies.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        const json& m = movies[i];
        EXPECT_EQ(m.size(), 5u);
        EXPECT_EQ(m["path"], args[i + 1]);
        EXPECT_EQ(m["creationTime"], cases[i].creationTime);
        EXPECT_EQ(m["durationSeconds"], cases[i].duration);
        EXPECT_EQ(m["readOnly"], cases[i].readOnly);
        if (cases[i].telemetryAt) {
            EXPECT_EQ(m["telemetryPath"], dir.path() + "/" + cases[i].telemetryAt);
        } else {
            EXPECT_TRUE(m["telemetryPath"].is_null());
        }
    }
}

std::string SampleLines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "[S]\t" + std::to_string(i) + "\t" + std::to_string(-i) + "\t1000\r\n";
    return text;
}

TEST(QuelloCli, TelemetryJsonHoldsEverySlot) {
    struct Case {
        const char* label;
        std::string content;
        int samples;
        int fixes;
        const char* lastLatitude; // of the last fix slot
    };
    const std::vector<Case> cases = {
        {"empty file", "", 0, 0, nullptr},
        {"samples only", SampleLines(25), 25, 2, ""},
        // Bytes that are not UTF-8 in the texts still give a valid JSON document.
        {"invalid UTF-8 token", "[G]\t\xff\xfe\t\xc3\t\x80N1\tE2\t1\t2\n", 0, 1, "N1"},
    };
    const TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const ProgramResult r = RunQuello({"telemetry", dir.write("t.DAT", c.content)});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(LineCount(r.out), 1u);
        const json doc = json::parse(r.out);
        EXPECT_EQ(doc["loaded"], true);
        EXPECT_EQ(doc["sampleCount"], c.samples);
        EXPECT_EQ(doc["fixCount"], c.fixes);
        ASSERT_EQ(doc["samples"].size(), std::size_t(c.samples));
        ASSERT_EQ(doc["fixes"].size(), std::size_t(c.fixes));
        for (const auto& s : doc["samples"])
            EXPECT_EQ(s.size(), 3u);
        if (c.lastLatitude) {
            EXPECT_EQ(doc["fixes"].back()["latitude"], c.lastLatitude);
        }
    }
}

// One row a second, fixes beyond the samples included; the comma inside the time is quoted,
// so every row has 36 cells.
TEST(QuelloCli, TelemetryCsvHasOneRowPerSecond) {
    const std::string g = "[G]\t2010/01/02\t03:04,05\tN24.5\tE121.5\t80\t270\n";
    const TempDir dir;
    const ProgramResult r =
        RunQuello({"telemetry", "--format=csv", dir.write("t.DAT", SampleLines(10) + g + g + g)});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::istringstream in(r.out);
    std::size_t rows = 0;
    for (std::string row; std::getline(in, row); ++rows) {
        std::size_t commas = 0;
        bool quoted = false;
        for (char ch : row) {
            quoted ^= ch == '"';
            commas += !quoted && ch == ',';
        }
        EXPECT_EQ(commas, 35u) << row;
        if (rows > 0) {
            EXPECT_EQ(row.substr(0, row.find(',')), std::to_string(rows - 1));
        }
    }
    EXPECT_EQ(rows, 5u);
    EXPECT_NE(r.out.find("\n1,\"2010/01/02 03:04,05\",24.5,121.5,80,270,,,"), std::string::npos)
        << r.out;
}

// GPX valid against the GPX 1.1 schema, also for a name with bytes that are no UTF-8, and read
// back by gpsbabel: the same coordinates, and only fixes that carry a position.
TEST(QuelloCli, TelemetryGpxReadsBackWithTheSameCoordinates) {
    const std::string content =
        SampleLines(10) + // slot 0 stays empty
        "[G]\t2026/05/16\t09:41:08\tN40.766955\tW73.971129\t0\t209\n"
        "[G]\t2026/05/16\t09:41:09\tS33.856784\tE151.215297\t50\t10\n"
        "[G]\tbad\ttime\tNabc\tE1.5\t5\t5\n"                    // latitude is no number: left out
        "[G]\t2026/05/16\t09:41:11\tN95.000000\tE1.5\t5\t5\n"   // out of range: left out
        "[G]\t2026/13/16\t09:41:12\tN0.5\tE179.999999\t5\t5\n"; // kept, without time
    const TempDir dir;
    const std::string dat = dir.write("drive <&>\xF5\x80\x80.DAT", content);
    const ProgramResult r = RunQuello({"telemetry", dat, "--format", "gpx"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string gpx = dir.write("out.gpx", r.out);
    EXPECT_EQ(RunProgram({"/usr/bin/xmllint", "--noout", "--schema", QUELLO_GPX_XSD, gpx}).exitCode,
              0);

    const ProgramResult back =
        RunProgram({"/usr/bin/gpsbabel", "-t", "-i", "gpx", "-f", gpx, "-o", "unicsv", "-F", "-"});
    ASSERT_EQ(back.exitCode, 0) << back.err;
    EXPECT_EQ(back.out, "No,Latitude,Longitude,Date,Time\r\n"
                        "1,40.766955,-73.971129,2026/05/16,09:41:08\r\n"
                        "2,-33.856784,151.215297,2026/05/16,09:41:09\r\n"
                        "3,0.500000,179.999999,,\r\n");
}

TEST(QuelloCli, KmlReportsEachLog) {
    const TempDir dir;
    const std::string good = dir.write("logs/0101.log", "093107\tN22.5431\tE114.0578\t1\r\n"
                                                        "093108\tN22.5432\tE114.0579\t1\r\n");
    dir.write("logs/folder.log/x", "");
    dir.makeDir("out");
    const ProgramResult r =
        RunQuello({"kml", "--output", dir.path() + "/out", good, dir.path() + "/logs/none.log",
                   dir.path() + "/logs/folder.log"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "OK " + dir.path() + "/out/0101.kml\nFailed! -1\nFailed! -2\n");
    EXPECT_EQ(LineCount(r.err), 1u);
    EXPECT_EQ(RunProgram({"/usr/bin/xmllint", "--noout", dir.path() + "/out/0101.kml"}).exitCode,
              0);
    EXPECT_EQ(TempDir::entries(dir.path() + "/out"), std::set<std::string>{"0101.kml"});

    // Relative paths, a bare log name included, are taken from the current folder; an
    // existing KML is replaced.
    const ProgramResult again =
        RunQuello({"kml", "--output", "../out/", "0101.log"}, dir.path() + "/logs");
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.out, "OK " + dir.path() + "/out/0101.kml\n");
}

TEST(QuelloCli, CardPrintsTheLastValidRoot) {
    const struct {
        const char* roots; // "@" is the scratch folder
        const char* found; // nullptr: "Can't find device!"
    } cases[] = {
        {"@/a @/b", "b"}, // the last valid root wins
        {"@/a @/short @/zero-trailer @/bad-magic @/gone", "a"},
        {"@/short @/zero-trailer", nullptr},
    };
    const TempDir dir;
    dir.write("a/setup.cfg", SetupCfg({.timeZone = -12}));
    dir.write("b/setup.cfg", SetupCfg({.timeZone = 12, .trailer = 0x01020304u}));
    dir.write("short/setup.cfg", SetupCfg().substr(0, 127));
    dir.write("zero-trailer/setup.cfg", SetupCfg({.trailer = 0}));
    dir.write("bad-magic/setup.cfg", SetupCfg({.magic = 0x5052010Fu}));

    for (const auto& c : cases) {
        SCOPED_TRACE(c.roots);
        const ProgramResult r = RunQuello(Args(std::string("card ") + c.roots, dir.path()));
        if (!c.found) {
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_EQ(r.err, "Can't find device!\n");
            continue;
        }
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const json card = json::parse(r.out);
        EXPECT_EQ(card["root"], dir.path() + "/" + c.found + "/");
        const std::string record = TempDir::read(dir.path() + "/" + c.found + "/setup.cfg");
        std::string hex;
        for (unsigned char b : record) {
            const char digits[] = "0123456789abcdef";
            hex += digits[b >> 4];
            hex += digits[b & 15];
        }
        EXPECT_EQ(card["record"], hex);
        EXPECT_EQ(card["resolutionIndex"], 0);
        EXPECT_EQ(card["timeZone"], int(std::int8_t(record[7])));
        EXPECT_EQ(card["sensitivity"], json({5, 6, 7}));
        EXPECT_EQ(card["updateFlag"], 0);
    }
}

// Inode and modification time: replacing the file changes both.
std::pair<ino_t, std::int64_t> Stamp(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    return {st.st_ino, st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec};
}

// A sequence of saves on one card whose record carries another trailer and a Z sensitivity
// above the dialog's range: what each prints, whether the file was replaced, and what the card
// then holds. Options not given keep the stored values byte for byte.
TEST(QuelloCli, SettingsRoundTrip) {
    const struct {
        const char* label;
        const char* options;
        bool written;
        int timeZone;
        std::vector<int> sensitivity;
        int resolutionIndex;
    } steps[] = {
        {"other trailer forces a write", "", true, -5, {5, 6, 12}, 0},
        {"nothing changed", "", false, -5, {5, 6, 12}, 0},
        {"same values given", "--timezone -5 --resolution 0", false, -5, {5, 6, 12}, 0},
        {"time zone", "--timezone +3", true, 3, {5, 6, 12}, 0},
        {"all options",
         "--resolution 5 --timezone=-12 --sensitivity 0,10,4",
         true,
         -12,
         {0, 10, 4},
         5},
    };
    const TempDir dir;
    const std::string stored = SetupCfg({.sensitivity = {5, 6, 12}, .trailer = 0x01020304u});
    const std::string cfg = dir.write("card/setup.cfg", stored);
    const std::string root = dir.path() + "/card";
    for (const auto& s : steps) {
        SCOPED_TRACE(s.label);
        const auto before = Stamp(cfg);
        std::vector<std::string> args = Args(s.options, "");
        args.insert(args.begin(), {"settings", root});
        const ProgramResult r = RunQuello(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, "Success!\n");
        EXPECT_EQ(before != Stamp(cfg), s.written);

        const json card = json::parse(RunQuello({"card", root}).out);
        EXPECT_EQ(card["timeZone"], s.timeZone);
        EXPECT_EQ(card["sensitivity"], json(s.sensitivity));
        EXPECT_EQ(card["resolutionIndex"], s.resolutionIndex);
        EXPECT_EQ(card["updateFlag"], 1);
        const std::string bytes = TempDir::read(cfg);
        ASSERT_EQ(bytes.size(), 128u);
        EXPECT_EQ(bytes.substr(11, 113), stored.substr(11, 113));
        EXPECT_EQ(bytes.substr(4, 2), stored.substr(4, 2));
        EXPECT_EQ(bytes[6] & 0x80, 0x80);
        EXPECT_EQ(bytes.substr(124), std::string("\x50\x0E\x05\x53", 4));
    }
    EXPECT_EQ(TempDir::entries(root), std::set<std::string>{"setup.cfg"}); // no temporary left
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
        {{"settings", dir.path() + "/card", "--timezone", "3"}, "Success!\n"},
        {{"kml", "--output", dir.path() + "/logs", log}, "OK " + dir.path() + "/logs/0101.kml\n"},
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
        const auto entries = TempDir::entries(card);
        const ProgramResult full = RunQuello(c.args);
        EXPECT_EQ(full.exitCode, 1) << full.out;
        EXPECT_EQ(LineCount(full.err), 1u) << full.err;
        EXPECT_EQ(TempDir::read(path), old);
        EXPECT_EQ(TempDir::entries(card), entries) << "a partial or temporary file was left";
        disk.unfill();
        const ProgramResult room = RunQuello(c.args);
        EXPECT_EQ(room.exitCode, 0) << room.err;
        EXPECT_NE(TempDir::read(path), old);
    }
}

TEST(QuelloCli, SettingsReportsAFailedSaveAndKeepsTheRecord) {
    const TempDir dir;
    const std::string cfg = dir.write("card/setup.cfg", SetupCfg());
    ASSERT_EQ(chmod(cfg.c_str(), 0444), 0);
    const ProgramResult r = RunQuello({"settings", dir.path() + "/card", "--timezone", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Save data failed!\n");
    EXPECT_EQ(TempDir::read(cfg), SetupCfg());
}

} // namespace
} // namespace quello::test
