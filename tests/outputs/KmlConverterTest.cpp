#include "outputs/KmlConverter.h"

#include "OutputsTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quello {
namespace {

using test::OutputsTempDir;
using test::readBytes;
using test::runCommand;
using test::shellQuote;
using test::writeBytes;

const std::string kGoldenDir = std::string(QUELLO_OUTPUTS_TEST_DATA_DIR) + "/golden";
const std::string kDescription = "GPS Log data.";

void expectWellFormed(const std::string& path) {
    const auto r = runCommand("xmllint --noout " + shellQuote(path));
    EXPECT_EQ(r.exitCode, 0) << path << ": " << r.output;
    EXPECT_EQ(r.output, "") << path;
}

// The text of the one element named tag, or "<absent>".
std::string element(const std::string& kml, const std::string& tag) {
    const std::string open = "<" + tag + ">", close = "</" + tag + ">";
    const auto a = kml.find(open);
    if (a == std::string::npos)
        return "<absent>";
    const auto b = kml.find(close, a);
    return kml.substr(a + open.size(), b - a - open.size());
}

// The coordinate tuples, each line without its four tabs and CR LF.
std::vector<std::string> coordinates(const std::string& kml) {
    std::vector<std::string> tuples;
    const auto start = kml.find("<coordinates>\r\n");
    if (start == std::string::npos)
        return tuples;
    const auto end = kml.find("\t\t\t</coordinates>", start);
    std::size_t pos = start + 15;
    while (pos < end) {
        const auto eol = kml.find("\r\n", pos);
        const std::string line = kml.substr(pos, eol - pos);
        EXPECT_EQ(line.substr(0, 4), "\t\t\t\t");
        EXPECT_EQ(line.substr(line.size() - 2), ",0");
        tuples.push_back(line.substr(4, line.size() - 6));
        pos = eol + 2;
    }
    return tuples;
}

struct Converted {
    int code = 0;
    std::string path;
    std::string kml;
};

Converted convertLog(const OutputsTempDir& dir, const std::string& log,
                     const std::string& name = "t.log",
                     const std::string& description = kDescription) {
    std::filesystem::create_directories(dir.file("in"));
    std::filesystem::create_directories(dir.file("out"));
    writeBytes(dir.file("in/" + name), log);
    Converted c;
    c.code = ConvertLogToKml(dir.file("in/" + name), description, dir.file("out"), c.path);
    if (c.code == 0) {
        c.kml = readBytes(c.path);
        expectWellFormed(c.path);
    }
    return c;
}

TEST(KmlConverter, GoldenDocumentWrittenTwiceIdenticallyFromLfAndCrLfLogs) {
    OutputsTempDir dir;
    const std::string expected = readBytes(kGoldenDir + "/0101.kml");
    const std::string crlfLog = readBytes(kGoldenDir + "/0101.log");
    ASSERT_NE(crlfLog.find("\r\n"), std::string::npos);
    std::string lfLog;
    for (const char c : crlfLog)
        if (c != '\r')
            lfLog += c;

    std::string path;
    ASSERT_EQ(ConvertLogToKml(kGoldenDir + "/0101.log", kDescription, dir.path(), path), 0);
    EXPECT_EQ(path, dir.file("0101.kml"));
    EXPECT_EQ(readBytes(path), expected);
    expectWellFormed(path);

    ASSERT_EQ(ConvertLogToKml(kGoldenDir + "/0101.log", kDescription, dir.path(), path), 0);
    EXPECT_EQ(readBytes(path), expected) << "second write differs";

    const auto fromLf = convertLog(dir, lfLog, "0101.log");
    ASSERT_EQ(fromLf.code, 0);
    EXPECT_EQ(fromLf.kml, expected) << "LF log reads differently from CR LF log";
    EXPECT_EQ(dir.entries(), (std::set<std::string>{"0101.kml", "in", "out"}));
}

TEST(KmlConverter, GpsbabelReadsTheTrackBackWithTheSameCoordinates) {
    OutputsTempDir dir;
    std::string path;
    ASSERT_EQ(ConvertLogToKml(kGoldenDir + "/0101.log", kDescription, dir.path(), path), 0);
    const auto r = runCommand("gpsbabel -t -i kml -f " + shellQuote(path) + " -o unicsv -F -");
    ASSERT_EQ(r.exitCode, 0) << r.output;

    std::vector<std::string> readBack; // "lon,lat" as in the document
    std::istringstream lines(r.output);
    std::string line;
    const auto nextLine = [&] {
        const bool got = static_cast<bool>(std::getline(lines, line));
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        return got;
    };
    nextLine();
    EXPECT_EQ(line, "No,Latitude,Longitude,Altitude");
    while (nextLine()) {
        std::vector<std::string> cols;
        std::istringstream fields(line);
        for (std::string f; std::getline(fields, f, ',');)
            cols.push_back(f);
        ASSERT_EQ(cols.size(), 4u) << line;
        readBack.push_back(cols[2] + "," + cols[1]);
    }
    const auto written = coordinates(readBytes(path));
    EXPECT_EQ(written.size(), 12u);
    EXPECT_EQ(readBack, written);
}

struct FieldCase {
    const char* name;
    std::string log;
    std::vector<std::string> tuples; // "longitude,latitude" as written
};

class KmlFieldRules : public testing::TestWithParam<FieldCase> {};

TEST_P(KmlFieldRules, LinesYieldTheseCoordinates) {
    const FieldCase& fc = GetParam();
    OutputsTempDir dir;
    const auto c = convertLog(dir, fc.log);
    ASSERT_EQ(c.code, 0);
    EXPECT_EQ(coordinates(c.kml), fc.tuples);
    if (fc.tuples.empty()) {
        EXPECT_EQ(element(c.kml, "LookAt"), "<absent>");
        EXPECT_EQ(element(c.kml, "LineString"), "<absent>");
        EXPECT_EQ(element(c.kml, "name"), "t");
    } else {
        const auto& first = fc.tuples.front();
        const auto comma = first.find(',');
        EXPECT_EQ(element(c.kml, "longitude"), first.substr(0, comma));
        EXPECT_EQ(element(c.kml, "latitude"), first.substr(comma + 1));
    }
}

const std::string kPad127 = "t\tN1\tE2\t" + std::string(119, 'x'); // one full piece

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
        FieldCase{"LongLineReadInPiecesOf127", kPad127 + "a\tN3\tE4\n", {"2,1", "4,3"}},
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
        FieldCase{"Utf8FirstCharacterDroppedWhole",
                  "t\t\xC3\x89"
                  "22.5\tE1\n",
                  {"1,22.5"}},
        FieldCase{"MarkupInFieldsEscaped", "t\tN<&>\tE'\"x\n", {"&apos;&quot;x,&lt;&amp;&gt;"}}),
    [](const testing::TestParamInfo<FieldCase>& info) { return std::string(info.param.name); });

struct NameCase {
    const char* name;
    std::string logName;
    std::string kmlName;
    std::string nameElement;
};

class KmlNames : public testing::TestWithParam<NameCase> {};

TEST_P(KmlNames, DocumentAndFileNamedAfterTheLog) {
    const NameCase& nc = GetParam();
    OutputsTempDir dir;
    const auto c = convertLog(dir, "t\tN1\tE2\n", nc.logName);
    ASSERT_EQ(c.code, 0);
    EXPECT_EQ(c.path, dir.file("out/" + nc.kmlName));
    EXPECT_EQ(element(c.kml, "name"), nc.nameElement);
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
    [](const testing::TestParamInfo<NameCase>& info) { return std::string(info.param.name); });

TEST(KmlConverter, DescriptionIsEscapedAndMadeValidUtf8) {
    OutputsTempDir dir;
    const auto c = convertLog(dir, "t\tN1\tE2\n", "t.log", "]]> <x> & \x01 \xFF\r");
    ASSERT_EQ(c.code, 0);
    EXPECT_EQ(element(c.kml, "description"), "]]&gt; &lt;x&gt; &amp; \xEF\xBF\xBD \xC3\xBF&#13;");
}

TEST(KmlConverter, ReplacesExistingDocumentAndNormalisesTheOutputFolder) {
    OutputsTempDir dir;
    writeBytes(dir.file("t.log"), "t\tN1\tE2\n");
    writeBytes(dir.file("t.kml"), std::string(100000, 'o'));
    std::string path = dir.file("t.log"); // the result may alias an input
    ASSERT_EQ(ConvertLogToKml(path, kDescription, dir.path() + "//", path), 0);
    EXPECT_EQ(path, dir.file("t.kml"));
    EXPECT_EQ(coordinates(readBytes(path)), std::vector<std::string>{"2,1"});
    EXPECT_EQ(dir.entries(), (std::set<std::string>{"t.kml", "t.log"}));
}

// Restores the working folder on leaving the scope.
class CwdGuard {
public:
    CwdGuard() : saved_(std::filesystem::current_path()) {}
    ~CwdGuard() { std::filesystem::current_path(saved_); }

private:
    std::filesystem::path saved_;
};

struct FailureCase {
    const char* name;
    // Prepares the folder and returns the log path and output folder to convert.
    std::function<std::pair<std::string, std::string>(const OutputsTempDir&)> setup;
    int code;
};

class KmlFailures : public testing::TestWithParam<FailureCase> {};

TEST_P(KmlFailures, ReturnCodeAndNothingWritten) {
    const FailureCase& fc = GetParam();
    OutputsTempDir dir;
    CwdGuard cwd;
    std::filesystem::create_directories(dir.file("out"));
    writeBytes(dir.file("good.log"), "t\tN1\tE2\n");
    const auto [log, out] = fc.setup(dir);
    const auto before = dir.entries();
    const auto outBefore = std::filesystem::is_directory(dir.file("out"))
                               ? OutputsTempDir::entriesOf(dir.file("out"))
                               : std::set<std::string>{};

    std::string path = "stale";
    EXPECT_EQ(ConvertLogToKml(log, kDescription, out, path), fc.code);
    EXPECT_EQ(path, "");
    EXPECT_EQ(dir.entries(), before);
    if (std::filesystem::is_directory(dir.file("out"))) {
        EXPECT_EQ(OutputsTempDir::entriesOf(dir.file("out")), outBefore);
    }
}

using Paths = std::pair<std::string, std::string>;

INSTANTIATE_TEST_SUITE_P(
    All, KmlFailures,
    testing::Values(FailureCase{"MissingLog",
                                [](const OutputsTempDir& d) {
                                    return Paths{d.file("none.log"), d.file("out")};
                                },
                                -1},
                    FailureCase{"DanglingLink",
                                [](const OutputsTempDir& d) {
                                    ::symlink(d.file("none.log").c_str(),
                                              d.file("link.log").c_str());
                                    return Paths{d.file("link.log"), d.file("out")};
                                },
                                -1},
                    FailureCase{"LogUnderAFile",
                                [](const OutputsTempDir& d) {
                                    return Paths{d.file("good.log/x.log"), d.file("out")};
                                },
                                -1},
                    FailureCase{"LogIsAFolder",
                                [](const OutputsTempDir& d) {
                                    std::filesystem::create_directories(d.file("dir.log"));
                                    return Paths{d.file("dir.log"), d.file("out")};
                                },
                                -2},
                    FailureCase{"LogIsAFifo",
                                [](const OutputsTempDir& d) {
                                    ::mkfifo(d.file("fifo.log").c_str(), 0600);
                                    return Paths{d.file("fifo.log"), d.file("out")};
                                },
                                -2},
                    FailureCase{"LogPathWithoutSlash",
                                [](const OutputsTempDir& d) {
                                    std::filesystem::current_path(d.path());
                                    return Paths{"good.log", d.file("out")};
                                },
                                -3},
                    FailureCase{"OutputFolderMissing",
                                [](const OutputsTempDir& d) {
                                    return Paths{d.file("good.log"), d.file("missing")};
                                },
                                -4},
                    FailureCase{"OutputFolderIsAFile",
                                [](const OutputsTempDir& d) {
                                    return Paths{d.file("good.log"), d.file("good.log")};
                                },
                                -4},
                    FailureCase{"OutputFolderEmpty",
                                [](const OutputsTempDir& d) {
                                    return Paths{d.file("good.log"), ""};
                                },
                                -4},
                    FailureCase{"OutputFolderNotWritable",
                                [](const OutputsTempDir& d) {
                                    return Paths{d.file("good.log"), "/proc"};
                                },
                                -4},
                    FailureCase{"KmlPathIsAFolder",
                                [](const OutputsTempDir& d) {
                                    std::filesystem::create_directories(d.file("out/good.kml"));
                                    return Paths{d.file("good.log"), d.file("out")};
                                },
                                -4},
                    FailureCase{"ExistingKmlReadOnly",
                                [](const OutputsTempDir& d) {
                                    writeBytes(d.file("out/good.kml"), "old");
                                    ::chmod(d.file("out/good.kml").c_str(), 0444);
                                    return Paths{d.file("good.log"), d.file("out")};
                                },
                                -4}),
    [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST(KmlConverter, FailedWriteLeavesTheOldDocumentAndNoTemporaryFile) {
    OutputsTempDir dir;
    std::string log;
    for (int i = 0; i < 2000; ++i)
        log += "2026/12/06 08:15:01\tN22.543210\tE114.057800\t40\t87\r\n";
    writeBytes(dir.file("big.log"), log);
    writeBytes(dir.file("big.kml"), "old");
    std::string path;
    {
        test::FileSizeLimit limit(16 * 1024);
        EXPECT_EQ(ConvertLogToKml(dir.file("big.log"), kDescription, dir.path(), path), -4);
    }
    EXPECT_EQ(path, "");
    EXPECT_EQ(readBytes(dir.file("big.kml")), "old");
    EXPECT_EQ(dir.entries(), (std::set<std::string>{"big.kml", "big.log"}));
}

} // namespace
} // namespace quello
