// The `quello` program run as a user runs it: real files in scratch folders, the exit code,
// stdout and stderr checked.
#include "ProgramRun.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <sys/stat.h>

namespace quello::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr std::uint32_t kSecondsFrom1904To1970 = 2082844800u;

void PutBe32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char(value >> (24 - 8 * i));
}

// A movie header in the camera's layout: 24-byte ftyp, moov, version-0 mvhd first.
std::string CameraMovie(std::uint32_t creation1904, std::uint32_t timeScale,
                        std::uint32_t duration) {
    std::string bytes(24 + 8 + 108, '\0');
    PutBe32(bytes, 0, 24);
    bytes.replace(4, 8, "ftypqt  ");
    bytes.replace(16, 8, "qt  \0\0\0\0", 8);
    PutBe32(bytes, 24, 8 + 108);
    bytes.replace(28, 4, "moov");
    PutBe32(bytes, 32, 108);
    bytes.replace(36, 4, "mvhd");
    PutBe32(bytes, 44, creation1904);
    PutBe32(bytes, 48, creation1904);
    PutBe32(bytes, 52, timeScale);
    PutBe32(bytes, 56, duration);
    return bytes;
}

std::string SetupCfg(int timeZone = -5, std::uint32_t trailer = 0x53050E50u) {
    std::string bytes(128, '\0');
    bytes.replace(0, 4, "\x0E\x01\x52\x50", 4);
    bytes[4] = '\x7A'; // not interpreted: must survive every write
    bytes[6] = char(2 << 1 | 0x80);
    bytes[7] = char(timeZone);
    bytes[8] = 5;
    bytes[9] = 6;
    bytes[10] = 7;
    bytes[60] = '\x42';
    for (int i = 0; i < 4; ++i)
        bytes[124 + i] = char(trailer >> (8 * i));
    return bytes;
}

std::size_t LineCount(const std::string& text) {
    return std::size_t(std::count(text.begin(), text.end(), '\n'));
}

// ---------------------------------------------------------------------------- bad input

struct BadInputCase {
    const char* label;
    std::vector<std::string> args; // "@" is replaced by the scratch folder
    int exitCode;
    const char* message; // expected in the one-line stderr message
};

std::string Expand(const std::string& arg, const std::string& dir) {
    std::string out = arg;
    for (std::size_t at; (at = out.find('@')) != std::string::npos;)
        out.replace(at, 1, dir);
    return out;
}

TEST(QuelloCli, BadInputIsRefusedWithOneLineAndNothingWritten) {
    const std::vector<BadInputCase> cases = {
        {"no command", {}, 2, "usage: quello"},
        {"unknown command", {"play"}, 2, "unknown command 'play'"},
        {"info without movie", {"info"}, 2, "no movie given"},
        {"info missing movie", {"info", "@/card/none.MOV"}, 1, "none.MOV: no such file"},
        {"info directory", {"info", "@/card"}, 1, "is a directory"},
        {"info one bad of two", {"info", "@/card/junk.bin", "@/nope"}, 1, "nope: no such"},
        {"info unknown option", {"info", "--fast", "@/card/junk.bin"}, 2, "unknown option"},
        {"telemetry missing", {"telemetry", "@/none.DAT"}, 1, "none.DAT: no such file"},
        {"telemetry directory", {"telemetry", "@/card"}, 1, "is a directory"},
        {"telemetry fifo", {"telemetry", "@/fifo"}, 1, "not a regular file"},
        {"telemetry two files", {"telemetry", "@/a.DAT", "@/b.DAT"}, 2, "exactly one"},
        {"telemetry bad format",
         {"telemetry", "@/card/junk.bin", "--format", "xml"},
         2,
         "unknown format 'xml'"},
        {"telemetry format without value",
         {"telemetry", "@/card/junk.bin", "--format"},
         2,
         "needs a value"},
        {"kml without output", {"kml", "@/card/junk.bin"}, 2, "output folder"},
        {"kml output is a file",
         {"kml", "--output", "@/card/junk.bin", "@/card/junk.bin"},
         1,
         "not a directory"},
        {"kml output missing", {"kml", "--output", "@/gone", "@/card/junk.bin"}, 1, "no such file"},
        {"card without setup.cfg", {"card", "@"}, 1, "Can't find device!"},
        {"card missing folder", {"card", "@/gone"}, 1, "Can't find device!"},
        {"settings without card", {"settings", "@"}, 1, "Can't find device!"},
        {"settings two roots", {"settings", "@", "@/card"}, 2, "exactly one card folder"},
        {"settings resolution too big",
         {"settings", "@/card", "--resolution", "6"},
         2,
         "--resolution must be 0..5"},
        {"settings resolution not a number",
         {"settings", "@/card", "--resolution", "1x"},
         2,
         "--resolution"},
        {"settings time zone too far",
         {"settings", "@/card", "--timezone", "13"},
         2,
         "--timezone must be -12..12"},
        {"settings two sensitivities",
         {"settings", "@/card", "--sensitivity", "1,2"},
         2,
         "--sensitivity"},
        {"settings four sensitivities",
         {"settings", "@/card", "--sensitivity", "1,2,3,4"},
         2,
         "--sensitivity"},
        {"settings trailing comma",
         {"settings", "@/card", "--sensitivity", "1,2,3,"},
         2,
         "--sensitivity"},
        {"settings sensitivity 11",
         {"settings", "@/card", "--sensitivity", "1,11,3"},
         2,
         "--sensitivity"},
        {"settings negative sensitivity",
         {"settings", "@/card", "--sensitivity=1,-1,3"},
         2,
         "--sensitivity"},
    };
    const ScratchDir dir;
    dir.write("card/junk.bin", std::string("\x00\xff\x13\x37", 4));
    const std::string cfg = dir.write("card/setup.cfg", SetupCfg());
    ASSERT_EQ(mkfifo((dir.path() + "/fifo").c_str(), 0600), 0);
    const auto before = fs::last_write_time(cfg);

    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<std::string> args;
        for (const auto& a : c.args)
            args.push_back(Expand(a, dir.path()));
        const ProgramResult r = RunQuello(args);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        if (c.exitCode == 1) {
            EXPECT_EQ(LineCount(r.err), 1u) << r.err;
        }
    }
    // Nothing on the card was touched or added.
    EXPECT_EQ(ReadFile(cfg), SetupCfg());
    EXPECT_EQ(fs::last_write_time(cfg), before);
    std::size_t entries = 0;
    for (auto it = fs::recursive_directory_iterator(dir.path());
         it != fs::recursive_directory_iterator(); ++it)
        ++entries;
    EXPECT_EQ(entries, 4u); // card, card/junk.bin, card/setup.cfg, fifo
}

TEST(QuelloCli, HelpIsShownForEveryCommand) {
    for (const char* command : {"info", "telemetry", "kml", "card", "settings"}) {
        SCOPED_TRACE(command);
        for (const auto& args : std::vector<std::vector<std::string>>{
                 {command, "--help"}, {"help", command}, {command, "/x", "-h"}}) {
            const ProgramResult r = RunQuello(args);
            EXPECT_EQ(r.exitCode, 0);
            EXPECT_EQ(r.out.rfind(std::string("usage: quello ") + command, 0), 0u) << r.out;
            EXPECT_EQ(r.err, "");
        }
    }
    const ProgramResult overview = RunQuello({"--help"});
    EXPECT_EQ(overview.exitCode, 0);
    for (const char* command : {"info", "telemetry", "kml", "card", "settings"})
        EXPECT_NE(overview.out.find(std::string("\n  ") + command + " "), std::string::npos);
}

// ---------------------------------------------------------------------------- info

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
        // Past the 32-bit time_t limit: still converts.
        {"DCIM/100MEDIA/FILE0003.MOV", CameraMovie(4230328448u, 0, 7), false, nullptr,
         "2038-01-19 03:14:08", 7},
        {"DCIM/100MEDIA/empty.MOV", "", false, nullptr, nullptr, nullptr},
        {"DCIM/100MEDIA/junk.MOV", std::string(300, '\xA5'), true, nullptr, nullptr, nullptr},
    };
    const ScratchDir dir;
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

// ---------------------------------------------------------------------------- telemetry

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
    const std::string g = "[G]\t2010/01/02\t03:04:05\tS24.123456\tW121.654321\t80\t270\n";
    const std::vector<Case> cases = {
        {"empty file", "", 0, 0, nullptr},
        {"samples only", SampleLines(25), 25, 2, ""},
        {"second of samples then fix", SampleLines(10) + g, 10, 2, "-24.123456"},
        {"fix first", g + SampleLines(10), 10, 1, "-24.123456"},
        {"binary junk",
         std::string("\x7f\x45\x4c\x46\x02\x01\x01\0\0\0", 10) + std::string(5000, '\xC3'), 0, 0,
         nullptr},
        // Bytes that are not UTF-8 in the texts still give a valid JSON document.
        {"invalid UTF-8 token", "[G]\t\xff\xfe\t\xc3\t\x80N1\tE2\t1\t2\n", 0, 1, "N1"},
        {"one huge line", "[S]\t1\t2\t3" + std::string(5 << 20, '7') + "\n", 1, 0, nullptr},
        {"more than 3000 samples", SampleLines(3100), 3000, 300, ""},
    };
    const ScratchDir dir;
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

TEST(QuelloCli, TelemetryCsvHasOneRowPerSecond) {
    struct Case {
        const char* label;
        std::string content;
        std::size_t rows; // without the header
    };
    const std::string g = "[G]\t2010/01/02\t03:04,05\tN24.5\tE121.5\t80\t270\n";
    const std::vector<Case> cases = {
        {"empty", "", 0},
        {"partial second", SampleLines(25), 3},
        {"fixes beyond samples", SampleLines(10) + g + g + g, 4},
    };
    const ScratchDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const ProgramResult r =
            RunQuello({"telemetry", "--format=csv", dir.write("t.DAT", c.content)});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        std::istringstream in(r.out);
        std::string row;
        std::size_t rows = 0;
        while (std::getline(in, row)) {
            // The comma inside the time is quoted, so every row has 36 cells.
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
            ++rows;
        }
        EXPECT_EQ(rows, c.rows + 1);
    }
    const ProgramResult r =
        RunQuello({"telemetry", "--format", "csv", dir.write("t.DAT", SampleLines(10) + g)});
    EXPECT_NE(r.out.find("\n1,\"2010/01/02 03:04,05\",24.5,121.5,80,270,,,"), std::string::npos)
        << r.out;
}

// GPX read back by gpsbabel: the same coordinates, and only fixes that carry a position.
TEST(QuelloCli, TelemetryGpxReadsBackWithTheSameCoordinates) {
    const std::string content =
        SampleLines(10) + // slot 0 stays empty
        "[G]\t2026/05/16\t09:41:08\tN40.766955\tW73.971129\t0\t209\n"
        "[G]\t2026/05/16\t09:41:09\tS33.856784\tE151.215297\t50\t10\n"
        "[G]\tbad\ttime\tNabc\tE1.5\t5\t5\n"                    // latitude is no number: left out
        "[G]\t2026/05/16\t09:41:11\tN95.000000\tE1.5\t5\t5\n"   // out of range: left out
        "[G]\t2026/13/16\t09:41:12\tN0.5\tE179.999999\t5\t5\n"; // kept, without time
    const ScratchDir dir;
    const std::string dat = dir.write("drive <&>.DAT", content);
    const ProgramResult r = RunQuello({"telemetry", dat, "--format", "gpx"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string gpx = dir.write("out.gpx", r.out);
    EXPECT_EQ(RunProgram({"/usr/bin/xmllint", "--noout", gpx}).exitCode, 0);

    const ProgramResult back =
        RunProgram({"/usr/bin/gpsbabel", "-t", "-i", "gpx", "-f", gpx, "-o", "unicsv", "-F", "-"});
    ASSERT_EQ(back.exitCode, 0) << back.err;
    EXPECT_EQ(back.out, "No,Latitude,Longitude,Date,Time\r\n"
                        "1,40.766955,-73.971129,2026/05/16,09:41:08\r\n"
                        "2,-33.856784,151.215297,2026/05/16,09:41:09\r\n"
                        "3,0.500000,179.999999,,\r\n");
}

// ---------------------------------------------------------------------------- kml

TEST(QuelloCli, KmlReportsEachLog) {
    const ScratchDir dir;
    const std::string good = dir.write("logs/0101.log", "093107\tN22.5431\tE114.0578\t1\r\n"
                                                        "093108\tN22.5432\tE114.0579\t1\r\n");
    dir.write("logs/folder.log/x", "");
    fs::create_directory(dir.path() + "/out");
    const ProgramResult r =
        RunQuello({"kml", "--output", dir.path() + "/out", good, dir.path() + "/logs/none.log",
                   dir.path() + "/logs/folder.log"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "OK " + dir.path() + "/out/0101.kml\nFailed! -1\nFailed! -2\n");
    EXPECT_EQ(LineCount(r.err), 1u);
    EXPECT_EQ(RunProgram({"/usr/bin/xmllint", "--noout", dir.path() + "/out/0101.kml"}).exitCode,
              0);
    const std::vector<fs::path> written{fs::directory_iterator(dir.path() + "/out"),
                                        fs::directory_iterator()};
    EXPECT_EQ(written.size(), 1u);

    // Relative paths, a bare log name included, are taken from the current folder; an
    // existing KML is replaced.
    // Logs without a usable line still give well-formed documents.
    const std::vector<std::string> odd = {
        dir.write("logs/empty.log", ""),
        dir.write("logs/junk.log", std::string("\x00\xff<&>\t\xc3\tN\x80\n", 11)),
        dir.write("logs/huge.log", "1\tN1.5\tE" + std::string(1 << 20, '2') + "\n"),
    };
    for (const auto& log : odd) {
        SCOPED_TRACE(log);
        const ProgramResult k = RunQuello({"kml", "--output", dir.path() + "/out", log});
        ASSERT_EQ(k.exitCode, 0) << k.err;
        const std::string kml = k.out.substr(3, k.out.size() - 4);
        EXPECT_EQ(RunProgram({"/usr/bin/xmllint", "--noout", kml}).exitCode, 0);
    }

    const ProgramResult again =
        RunQuello({"kml", "--output", "../out/", "0101.log"}, dir.path() + "/logs");
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.out, "OK " + dir.path() + "/out/0101.kml\n");
}

// ---------------------------------------------------------------------------- card, settings

TEST(QuelloCli, CardPrintsTheLastValidRoot) {
    struct Case {
        const char* label;
        std::vector<std::string> roots; // folders below the scratch folder
        const char* found;              // nullptr: "Can't find device!"
    };
    const std::vector<Case> cases = {
        {"one card", {"a"}, "a"},
        {"last valid wins", {"a", "b"}, "b"},
        {"invalid later root ignored", {"a", "short", "zero-trailer", "bad-magic", "gone"}, "a"},
        {"no valid root", {"short", "zero-trailer"}, nullptr},
    };
    const ScratchDir dir;
    dir.write("a/setup.cfg", SetupCfg(-12));
    dir.write("b/setup.cfg", SetupCfg(12, 0x01020304u));
    dir.write("short/setup.cfg", SetupCfg().substr(0, 127));
    dir.write("zero-trailer/setup.cfg", SetupCfg(0, 0));
    std::string badMagic = SetupCfg();
    badMagic[0] = 0;
    dir.write("bad-magic/setup.cfg", badMagic);

    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<std::string> args{"card"};
        for (const auto& root : c.roots)
            args.push_back(dir.path() + "/" + root);
        const ProgramResult r = RunQuello(args);
        if (!c.found) {
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_EQ(r.err, "Can't find device!\n");
            continue;
        }
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const json card = json::parse(r.out);
        EXPECT_EQ(card["root"], dir.path() + "/" + c.found + "/");
        const std::string record = ReadFile(dir.path() + "/" + c.found + "/setup.cfg");
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

struct FileStamp {
    ino_t inode;
    timespec mtime;
};

FileStamp Stamp(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    return {st.st_ino, st.st_mtim};
}

bool SameStamp(const FileStamp& a, const FileStamp& b) {
    return a.inode == b.inode && a.mtime.tv_sec == b.mtime.tv_sec &&
           a.mtime.tv_nsec == b.mtime.tv_nsec;
}

// A sequence of saves on one card: what each prints, whether the file was replaced, and what
// the card then holds.
TEST(QuelloCli, SettingsRoundTrip) {
    struct Step {
        const char* label;
        std::vector<std::string> options;
        int exitCode;
        bool written;
        int timeZone;
        std::vector<int> sensitivity;
        int resolutionIndex;
        int updateFlag;
    };
    const std::vector<Step> steps = {
        {"nothing changed", {}, 0, false, -5, {5, 6, 7}, 0, 0},
        {"same values given",
         {"--timezone", "-5", "--resolution", "0"},
         0,
         false,
         -5,
         {5, 6, 7},
         0,
         0},
        {"time zone", {"--timezone", "+3"}, 0, true, 3, {5, 6, 7}, 0, 1},
        {"saved again unchanged", {"--timezone", "3"}, 0, false, 3, {5, 6, 7}, 0, 1},
        {"all options",
         {"--resolution", "5", "--timezone=-12", "--sensitivity", "0,10,4"},
         0,
         true,
         -12,
         {0, 10, 4},
         5,
         1},
    };
    const ScratchDir dir;
    const std::string cfg = dir.write("card/setup.cfg", SetupCfg());
    const std::string root = dir.path() + "/card";
    for (const auto& s : steps) {
        SCOPED_TRACE(s.label);
        const FileStamp before = Stamp(cfg);
        std::vector<std::string> args{"settings", root};
        args.insert(args.end(), s.options.begin(), s.options.end());
        const ProgramResult r = RunQuello(args);
        EXPECT_EQ(r.exitCode, s.exitCode) << r.err;
        EXPECT_EQ(r.out, "Success!\n");
        EXPECT_EQ(!SameStamp(before, Stamp(cfg)), s.written);

        const json card = json::parse(RunQuello({"card", root}).out);
        EXPECT_EQ(card["timeZone"], s.timeZone);
        EXPECT_EQ(card["sensitivity"], json(s.sensitivity));
        EXPECT_EQ(card["resolutionIndex"], s.resolutionIndex);
        EXPECT_EQ(card["updateFlag"], s.updateFlag);
        const std::string bytes = ReadFile(cfg);
        ASSERT_EQ(bytes.size(), 128u);
        EXPECT_EQ(bytes[4], '\x7A');
        EXPECT_EQ(bytes[60], '\x42');
        EXPECT_EQ(bytes[6] & 0x80, 0x80);
    }
    EXPECT_EQ(fs::directory_iterator(root)->path(), cfg); // no temporary left behind
}

TEST(QuelloCli, SettingsWritesWhenOnlyTheTrailerDiffers) {
    const ScratchDir dir;
    const std::string cfg = dir.write("card/setup.cfg", SetupCfg(-5, 0x01020304u));
    const ProgramResult r = RunQuello({"settings", dir.path() + "/card"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "Success!\n");
    const std::string bytes = ReadFile(cfg);
    EXPECT_EQ(bytes.substr(124), std::string("\x50\x0E\x05\x53", 4));
    EXPECT_EQ(bytes[6] & 1, 1);
}

TEST(QuelloCli, SettingsReportsAFailedSaveAndKeepsTheRecord) {
    const ScratchDir dir;
    const std::string cfg = dir.write("card/setup.cfg", SetupCfg());
    ASSERT_EQ(chmod(cfg.c_str(), 0444), 0);
    const ProgramResult r = RunQuello({"settings", dir.path() + "/card", "--timezone", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Save data failed!\n");
    EXPECT_EQ(ReadFile(cfg), SetupCfg());
}

} // namespace
} // namespace quello::test
