#include "outputs/KmlConverter.h"

#include "tests/support/ProgramRun.h"
#include "tests/support/TempDir.h"
#include "tests/support/TmpfsMount.h"

#include <gtest/gtest.h>

#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quello {
namespace {

using test::RunProgram;
using test::TempDir;

const std::string kGoldenDir = std::string(QUELLO_OUTPUTS_TEST_DATA_DIR) + "/golden";
const std::string kDescription = "GPS Log data.";

void expectWellFormed(const std::string& path) {
    const auto r = RunProgram({"xmllint", "--noout", path});
    EXPECT_EQ(r.exitCode, 0) << path << ": " << r.err;
}

// The text of the first element named tag, or "<absent>".
std::string element(const std::string& kml, const std::string& tag) {
    const auto a = kml.find("<" + tag + ">");
    return a == std::string::npos
               ? "<absent>"
               : kml.substr(a + tag.size() + 2, kml.find("</" + tag + ">", a) - a - tag.size() - 2);
}

// The coordinate tuples "longitude,latitude", checked for their four tabs and ",0" CR LF.
std::vector<std::string> coordinates(const std::string& kml) {
    std::vector<std::string> tuples;
    std::istringstream lines(
        kml.find("<coordinates>") == std::string::npos ? "" : element(kml, "coordinates"));
    for (std::string line; std::getline(lines, line);) {
        if (line == "\r" || line == "\t\t\t")
            continue;
        EXPECT_EQ(line.substr(0, 4), "\t\t\t\t");
        EXPECT_EQ(line.substr(line.size() - 3), ",0\r");
        tuples.push_back(line.substr(4, line.size() - 7));
    }
    return tuples;
}

struct Converted {
    int code = 0;
    std::string path, kml;
};

Converted convertLog(const TempDir& dir, const std::string& log, const std::string& name = "t.log",
                     const std::string& description = kDescription) {
    Converted c;
    c.code = ConvertLogToKml(dir.write("in/" + name, log), description, dir.makeDir("out"), c.path);
    c.kml = TempDir::read(c.path);
    if (c.code == 0)
        expectWellFormed(c.path);
    return c;
}

// The golden document, written twice identically over a stale one, and read back by gpsbabel
// with the same coordinates.
TEST(KmlConverter, GoldenDocumentReadsBackWithTheSameCoordinates) {
    TempDir dir;
    const std::string expected = TempDir::read(kGoldenDir + "/0101.kml");
    dir.write("0101.kml", std::string(100000, 'o'));
    for (int run = 0; run < 2; ++run) {
        std::string path = kGoldenDir + "/0101.log"; // the result may alias an input
        ASSERT_EQ(ConvertLogToKml(path, kDescription, dir.path() + "//", path), 0);
        EXPECT_EQ(path, dir.file("0101.kml"));
        EXPECT_EQ(TempDir::read(path), expected) << "run " << run;
    }
    EXPECT_EQ(dir.entries(), std::set<std::string>{"0101.kml"});
    expectWellFormed(dir.file("0101.kml"));

    const auto r = RunProgram(
        {"gpsbabel", "-t", "-i", "kml", "-f", dir.file("0101.kml"), "-o", "unicsv", "-F", "-"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> readBack; // "lon,lat" from "No,Latitude,Longitude,Altitude" rows
    std::istringstream lines(r.out);
    std::string no, lat, lon, rest;
    std::getline(lines, rest);
    while (std::getline(lines, no, ',') && std::getline(lines, lat, ',') &&
           std::getline(lines, lon, ',') && std::getline(lines, rest))
        readBack.push_back(lon + "," + lat);
    const auto written = coordinates(expected);
    EXPECT_EQ(written.size(), 12u);
    EXPECT_EQ(readBack, written);
}

TEST(KmlConverter, LogLinesYieldTheseCoordinates) {
    const std::string fullPiece = "t\tN1\tE2\t" + std::string(119, 'x'); // 127 characters
    const struct {
        const char* name;
        std::string log;
        std::vector<std::string> tuples; // "longitude,latitude" as written
    } cases[] = {{"NorthEast", "t\tN22.5\tE114.1\tx\n", {"114.1,22.5"}},
                 {"SouthWest", "t\tS22.5\tW114.1\tx\n", {"-114.1,-22.5"}},
                 {"LettersOnlyCountInTheirOwnField", "t\tW22.5\tS114.1\tx\n", {"114.1,22.5"}},
                 {"FirstCharacterDroppedWhateverItIs", "t\t22.5\t114.1\tx\n", {"14.1,2.5"}},
                 {"TabRunsAreOneSeparator", "t\t\t\tN1\t\tE2\t\t\tx\n", {"2,1"}},
                 {"LeadingTabShiftsColumns", "\tt\tN1\tE2\n", {"2,1"}},
                 {"FewerThanThreeFieldsSkipped", "t\tN1\nt\tN1\t\n\n\t\t\nt\tN3\tE4\n", {"4,3"}},
                 {"LineEndStrippedFromLastField",
                  "t\tN1\tE2\nt\tN3\tE4\r\nt\tN5\tE6",
                  {"2,1", "4,3", "6,5"}},
                 {"LongLineReadInPiecesOf127", fullPiece + "a\tN3\tE4\r\n", {"2,1", "4,3"}},
                 {"NoLogLinesAtAll", "", {}},
                 {"OnlyUnusableLines", "GPS LOG\r\nV\tV\r\n", {}},
                 {"NulEndsTheLineText", std::string("t\tN1\0\tE2\nt\tN3\tE4\0\tx\n", 20), {"4,3"}},
                 {"CoordinateOf31CharactersKept",
                  "t\tN" + std::string(30, '1') + "\tE2\n",
                  {"2," + std::string(30, '1')}},
                 {"CoordinateOf32CharactersSkipped",
                  "t\tN" + std::string(31, '1') + "\tE2\nt\tN3\tE" + std::string(31, '4') + "\n",
                  {}},
                 {"SingleByteCodePageReadAsLatin1",
                  "t\tN22\xB0"
                  "5\tE1\xE9\n",
                  {"1\xC3\xA9,22\xC2\xB0"
                   "5"}},
                 {"Utf8FirstCharacterDroppedWhole",
                  "t\t\xC3\x89"
                  "22.5\tE1\n",
                  {"1,22.5"}},
                 {"MarkupAndControlsEscaped",
                  "t\tN<&>\tE'\"\x01\xEF\xBF\xBF\r\n",
                  {"&apos;&quot;\xEF\xBF\xBD\xEF\xBF\xBD,&lt;&amp;&gt;"}}};
    for (const auto& f : cases) {
        SCOPED_TRACE(f.name);
        TempDir dir;
        const auto c = convertLog(dir, f.log);
        ASSERT_EQ(c.code, 0);
        EXPECT_EQ(coordinates(c.kml), f.tuples);
        if (f.tuples.empty()) { // nothing to look at, no line to draw, still a document
            EXPECT_EQ(element(c.kml, "LookAt"), "<absent>");
            EXPECT_EQ(element(c.kml, "LineString"), "<absent>");
            EXPECT_EQ(element(c.kml, "name"), "t");
        } else {
            EXPECT_EQ(element(c.kml, "longitude") + "," + element(c.kml, "latitude"), f.tuples[0]);
        }
    }
}

TEST(KmlConverter, DocumentAndFileNamedAfterTheLog) {
    const struct {
        const char* name;
        std::string logName, kmlName, nameElement;
    } cases[] = {{"CutAtLastDot", "a.b.log", "a.b.kml", "a.b"},
                 {"NoDot", "track", "track.kml", "track"},
                 {"Markup", "a<&>\"'b.log", "a<&>\"'b.kml", "a&lt;&amp;&gt;&quot;&apos;b"},
                 {"SingleByteCodePage", "caf\xE9.log", "caf\xE9.kml", "caf\xC3\xA9"},
                 {"Utf8", "\xE5\x8C\x97.log", "\xE5\x8C\x97.kml", "\xE5\x8C\x97"},
                 {"LongNameNotCut", std::string(200, 'n') + ".log", std::string(200, 'n') + ".kml",
                  std::string(200, 'n')}};
    for (const auto& n : cases) {
        SCOPED_TRACE(n.name);
        TempDir dir;
        const auto c = convertLog(dir, "t\tN1\tE2\n", n.logName, "]]> <x> & \xFF\r");
        ASSERT_EQ(c.code, 0);
        EXPECT_EQ(c.path, dir.file("out/" + n.kmlName));
        EXPECT_EQ(element(c.kml, "name"), n.nameElement);
        EXPECT_EQ(element(c.kml, "description"), "]]&gt; &lt;x&gt; &amp; \xC3\xBF&#13;");
    }
}

TEST(KmlConverter, FailuresReturnTheirCodeAndWriteNothing) {
    const struct {
        const char* name;
        const char* log; // relative to the temporary folder, which is also the working folder
        const char* out;
        int code;
    } cases[] = {
        {"MissingLog", "none.log", "out", -1},
        {"DanglingLink", "link.log", "out", -1},
        {"LogUnderAFile", "good.log/x.log", "out", -1},
        {"LogIsAFolder", "dir.log", "out", -2},
        {"LogIsAFifo", "fifo.log", "out", -2},
        {"LogPathWithoutSlash", "good.log", "out", -3},
        {"OutputFolderMissing", "good.log", "missing", -4},
        {"OutputFolderIsAFile", "good.log", "good.log", -4},
        {"OutputFolderEmpty", "good.log", "", -4},
        {"OutputFolderNotWritable", "good.log", "/proc", -4},
        {"KmlPathIsAFolder", "good.log", "taken", -4},
        {"ExistingKmlReadOnly", "good.log", "ro", -4},
    };
    TempDir dir;
    const auto savedCwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    for (const char* folder : {"out", "dir.log", "ro", "taken/good.kml"})
        std::filesystem::create_directories(folder);
    dir.write("good.log", "t\tN1\tE2\n");
    dir.write("ro/good.kml", "old");
    ::chmod("ro/good.kml", 0444);
    ::symlink("none.log", "link.log");
    ::mkfifo("fifo.log", 0600);
    const auto snapshot = [] {
        std::set<std::string> all;
        for (const auto& e : std::filesystem::recursive_directory_iterator("."))
            all.insert(e.path().string() + ":" +
                       std::to_string(e.is_regular_file() ? e.file_size() : 0));
        return all;
    };
    const auto before = snapshot();
    for (const auto& fc : cases) {
        SCOPED_TRACE(fc.name);
        const std::string log = *fc.log == '/' || fc.code == -3 ? fc.log : dir.file(fc.log);
        const std::string out = *fc.out == '/' || *fc.out == '\0' ? fc.out : dir.file(fc.out);
        std::string path = "stale";
        EXPECT_EQ(ConvertLogToKml(log, kDescription, out, path), fc.code);
        EXPECT_EQ(path, "");
        EXPECT_EQ(snapshot(), before);
    }
    std::filesystem::current_path(savedCwd);
}

// The disk fills up while the document is written: the old document stays, nothing else is left.
TEST(KmlConverter, AFullDiskFailsAndKeepsTheOldDocument) {
    TempDir dir;
    std::string log;
    for (int i = 0; i < 4000; ++i)
        log += "t\tN22.543210\tE114.057800\r\n";
    const std::string logPath = dir.write("in/big.log", log);
    const test::TmpfsMount disk(dir.makeDir("out"), 1 << 20);
    if (!disk.error().empty())
        GTEST_SKIP() << disk.error();
    dir.write("out/big.kml", "old");
    ASSERT_TRUE(disk.fill(0));
    std::string path = "stale";
    EXPECT_EQ(ConvertLogToKml(logPath, kDescription, dir.file("out"), path), -4);
    EXPECT_EQ(path, "");
    EXPECT_EQ(TempDir::read(dir.file("out/big.kml")), "old");
    EXPECT_EQ(dir.entries(dir.file("out")), (std::set<std::string>{".filler", "big.kml"}));
}

} // namespace
} // namespace quello
