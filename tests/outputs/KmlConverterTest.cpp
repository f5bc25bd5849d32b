#include "outputs/KmlConverter.h"

#include "OutputsTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quello {
namespace {

using test::runCommand;
using test::shellQuote;
using test::TempDir;

const std::string kGoldenDir = std::string(QUELLO_OUTPUTS_TEST_DATA_DIR) + "/golden";
const std::string kDescription = "GPS Log data.";

void expectWellFormed(const std::string& path) {
    const auto r = runCommand("xmllint --noout " + shellQuote(path));
    EXPECT_EQ(r.exitCode, 0) << path << ": " << r.output;
    EXPECT_EQ(r.output, "") << path;
}

// The text of the first element named tag, or "<absent>".
std::string element(const std::string& kml, const std::string& tag) {
    const auto a = kml.find("<" + tag + ">");
    if (a == std::string::npos)
        return "<absent>";
    const auto b = kml.find("</" + tag + ">", a);
    return kml.substr(a + tag.size() + 2, b - a - tag.size() - 2);
}

// The coordinate tuples "longitude,latitude", checked for their four tabs and ",0" CR LF.
std::vector<std::string> coordinates(const std::string& kml) {
    std::vector<std::string> tuples;
    if (kml.find("<coordinates>") == std::string::npos)
        return tuples;
    std::istringstream lines(element(kml, "coordinates"));
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
    dir.makeDir("out");
    dir.write("in/" + name, log);
    Converted c;
    c.code = ConvertLogToKml(dir.file("in/" + name), description, dir.file("out"), c.path);
    if (c.code == 0) {
        c.kml = TempDir::read(c.path);
        expectWellFormed(c.path);
    }
    return c;
}

TEST(KmlConverter, GoldenDocumentWrittenTwiceIdenticallyFromLfAndCrLfLogs) {
    TempDir dir;
    const std::string expected = TempDir::read(kGoldenDir + "/0101.kml");
    std::string lfLog = TempDir::read(kGoldenDir + "/0101.log");
    ASSERT_NE(lfLog.find("\r\n"), std::string::npos);
    std::erase(lfLog, '\r');

    std::string path;
    for (int run = 0; run < 2; ++run) {
        ASSERT_EQ(ConvertLogToKml(kGoldenDir + "/0101.log", kDescription, dir.path(), path), 0);
        EXPECT_EQ(path, dir.file("0101.kml"));
        EXPECT_EQ(TempDir::read(path), expected) << "run " << run;
    }
    expectWellFormed(path);
    EXPECT_EQ(convertLog(dir, lfLog, "0101.log").kml, expected) << "LF log read differently";
}

TEST(KmlConverter, GpsbabelReadsTheTrackBackWithTheSameCoordinates) {
    TempDir dir;
    std::string path;
    ASSERT_EQ(ConvertLogToKml(kGoldenDir + "/0101.log", kDescription, dir.path(), path), 0);
    const auto r = runCommand("gpsbabel -t -i kml -f " + shellQuote(path) + " -o unicsv -F -");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::vector<std::string> readBack; // "lon,lat" from "No,Latitude,Longitude,Altitude" rows
    std::istringstream lines(r.output);
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        std::vector<std::string> cols;
        std::istringstream fields(line.substr(0, line.find('\r')));
        for (std::string f; std::getline(fields, f, ',');)
            cols.push_back(f);
        ASSERT_EQ(cols.size(), 4u) << line;
        readBack.push_back(cols[2] + "," + cols[1]);
    }
    const auto written = coordinates(TempDir::read(path));
    EXPECT_EQ(written.size(), 12u);
    EXPECT_EQ(readBack, written);
}

struct FieldCase {
    const char* name;
    std::string log;
    std::vector<std::string> tuples; // "longitude,latitude" as written
};
void PrintTo(const FieldCase& c, std::ostream* os) {
    *os << c.name;
}

class KmlFieldRules : public testing::TestWithParam<FieldCase> {};

TEST_P(KmlFieldRules, LinesYieldTheseCoordinates) {
    TempDir dir;
    const auto c = convertLog(dir, GetParam().log);
    ASSERT_EQ(c.code, 0);
    const auto& tuples = GetParam().tuples;
    EXPECT_EQ(coordinates(c.kml), tuples);
    if (tuples.empty()) { // nothing to look at, no line to draw, still a document
        EXPECT_EQ(element(c.kml, "LookAt"), "<absent>");
        EXPECT_EQ(element(c.kml, "LineString"), "<absent>");
        EXPECT_EQ(element(c.kml, "name"), "t");
    } else {
        EXPECT_EQ(element(c.kml, "longitude") + "," + element(c.kml, "latitude"), tuples[0]);
    }
}

const std::string kFullPiece = "t\tN1\tE2\t" + std::string(119, 'x'); // 127 characters

INSTANTIATE_TEST_SUITE_P(
    All, KmlFieldRules,
    testing::Values(
        FieldCase{"NorthEast", "t\tN22.5\tE114.1\tx\n", {"114.1,22.5"}},
        FieldCase{"SouthWest", "t\tS22.5\tW114.1\tx\n", {"-114.1,-22.5"}},
        FieldCase{"LettersOnlyCountInTheirOwnField", "t\tW22.5\tS114.1\tx\n", {"114.1,22.5"}},
        FieldCase{"FirstCharacterDroppedWhateverItIs", "t\t22.5\t114.1\tx\n", {"14.1,2.5"}},
        FieldCase{"TabRunsAreOneSeparator", "t\t\t\tN1\t\tE2\t\t\tx\n", {"2,1"}},
        FieldCase{"LeadingTabShiftsColumns", "\tt\tN1\tE2\n", {"2,1"}},
        FieldCase{"FewerThanThreeFieldsSkipped", "t\tN1\nt\tN1\t\n\n\t\t\nt\tN3\tE4\n", {"4,3"}},
        FieldCase{"LineEndStrippedFromLastField",
                  "t\tN1\tE2\nt\tN3\tE4\r\nt\tN5\tE6",
                  {"2,1", "4,3", "6,5"}},
        FieldCase{"LongLineReadInPiecesOf127", kFullPiece + "a\tN3\tE4\r\n", {"2,1", "4,3"}},
        FieldCase{"NoLogLinesAtAll", "", {}},
        FieldCase{"OnlyUnusableLines", "GPS LOG\r\nV\tV\r\n", {}},
        FieldCase{"NulEndsTheLineText", std::string("t\tN1\0\tE2\nt\tN3\tE4\0\tx\n", 20), {"4,3"}},
        FieldCase{"CoordinateOf31CharactersKept",
                  "t\tN" + std::string(30, '1') + "\tE2\n",
                  {"2," + std::string(30, '1')}},
        FieldCase{"CoordinateOf32CharactersSkipped",
                  "t\tN" + std::string(31, '1') + "\tE2\nt\tN3\tE" + std::string(31, '4') + "\n",
                  {}},
        FieldCase{"SingleByteCodePageReadAsLatin1",
                  "t\tN22\xB0"
                  "5\tE1\xE9\n",
                  {"1\xC3\xA9,22\xC2\xB0"
                   "5"}},
        FieldCase{"OverlongUtf8ReadAsLatin1", "t\tN\xC0\xAF\tE1\n", {"1,\xC3\x80\xC2\xAF"}},
        FieldCase{"Utf8FirstCharacterDroppedWhole",
                  "t\t\xC3\x89"
                  "22.5\tE1\n",
                  {"1,22.5"}},
        FieldCase{"MarkupAndControlsEscaped",
                  "t\tN<&>\tE'\"\x01\xEF\xBF\xBF\r\n",
                  {"&apos;&quot;\xEF\xBF\xBD\xEF\xBF\xBD,&lt;&amp;&gt;"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct NameCase {
    const char* name;
    std::string logName, kmlName, nameElement;
};
void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.name;
}

class KmlNames : public testing::TestWithParam<NameCase> {};

TEST_P(KmlNames, DocumentAndFileNamedAfterTheLog) {
    TempDir dir;
    const auto c = convertLog(dir, "t\tN1\tE2\n", GetParam().logName, "]]> <x> & \xFF\r");
    ASSERT_EQ(c.code, 0);
    EXPECT_EQ(c.path, dir.file("out/" + GetParam().kmlName));
    EXPECT_EQ(element(c.kml, "name"), GetParam().nameElement);
    EXPECT_EQ(element(c.kml, "description"), "]]&gt; &lt;x&gt; &amp; \xC3\xBF&#13;");
}

INSTANTIATE_TEST_SUITE_P(
    All, KmlNames,
    testing::Values(NameCase{"Plain", "0101.log", "0101.kml", "0101"},
                    NameCase{"CutAtLastDot", "a.b.log", "a.b.kml", "a.b"},
                    NameCase{"NoDot", "track", "track.kml", "track"},
                    NameCase{"Markup", "a<&>\"'b.log", "a<&>\"'b.kml",
                             "a&lt;&amp;&gt;&quot;&apos;b"},
                    NameCase{"SingleByteCodePage", "caf\xE9.log", "caf\xE9.kml", "caf\xC3\xA9"},
                    NameCase{"Utf8", "\xE5\x8C\x97.log", "\xE5\x8C\x97.kml", "\xE5\x8C\x97"},
                    NameCase{"LongNameNotCut", std::string(200, 'n') + ".log",
                             std::string(200, 'n') + ".kml", std::string(200, 'n')}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KmlConverter, ReplacesExistingDocumentAndNormalisesTheOutputFolder) {
    TempDir dir;
    dir.write("t.log", "t\tN1\tE2\n");
    dir.write("t.kml", std::string(100000, 'o'));
    std::string path = dir.file("t.log"); // the result may alias an input
    ASSERT_EQ(ConvertLogToKml(path, kDescription, dir.path() + "//", path), 0);
    EXPECT_EQ(path, dir.file("t.kml"));
    EXPECT_EQ(coordinates(TempDir::read(path)), std::vector<std::string>{"2,1"});
    EXPECT_EQ(dir.entries(), (std::set<std::string>{"t.kml", "t.log"}));
}

struct FailureCase {
    const char* name;
    const char* log; // relative to the temporary folder, which is also the working folder
    const char* out;
    int code;
};
void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class KmlFailures : public testing::TestWithParam<FailureCase> {};

TEST_P(KmlFailures, ReturnCodeAndNothingWritten) {
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

    const FailureCase& fc = GetParam();
    const std::string log = *fc.log == '/' || fc.code == -3 ? fc.log : dir.file(fc.log);
    const std::string out = *fc.out == '/' || *fc.out == '\0' ? fc.out : dir.file(fc.out);
    std::string path = "stale";
    EXPECT_EQ(ConvertLogToKml(log, kDescription, out, path), fc.code);
    EXPECT_EQ(path, "");
    EXPECT_EQ(snapshot(), before);
    std::filesystem::current_path(savedCwd);
}

INSTANTIATE_TEST_SUITE_P(
    All, KmlFailures,
    testing::Values(FailureCase{"MissingLog", "none.log", "out", -1},
                    FailureCase{"DanglingLink", "link.log", "out", -1},
                    FailureCase{"LogUnderAFile", "good.log/x.log", "out", -1},
                    FailureCase{"LogIsAFolder", "dir.log", "out", -2},
                    FailureCase{"LogIsAFifo", "fifo.log", "out", -2},
                    FailureCase{"LogPathWithoutSlash", "good.log", "out", -3},
                    FailureCase{"OutputFolderMissing", "good.log", "missing", -4},
                    FailureCase{"OutputFolderIsAFile", "good.log", "good.log", -4},
                    FailureCase{"OutputFolderEmpty", "good.log", "", -4},
                    FailureCase{"OutputFolderNotWritable", "good.log", "/proc", -4},
                    FailureCase{"KmlPathIsAFolder", "good.log", "taken", -4},
                    FailureCase{"ExistingKmlReadOnly", "good.log", "ro", -4}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace quello
