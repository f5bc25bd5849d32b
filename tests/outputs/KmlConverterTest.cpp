// The GPS-log converter's documents and failures. That any log gives well-formed XML in CR LF
// lines the fuzz target checks.
#include "outputs/KmlConverter.h"

#include "tests/support/ProgramRun.h"
#include "tests/support/TempDir.h"
#include "tests/support/TmpfsMount.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <tuple>
#include <vector>

namespace quello {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

const std::string kDescription = "GPS Log data.";

// The text of the first element named tag, or "<absent>".
std::string element(const std::string& kml, const std::string& tag) {
    const auto a = kml.find("<" + tag + ">"), b = kml.find("</" + tag + ">", a);
    return a == std::string::npos ? "<absent>"
                                  : kml.substr(a + tag.size() + 2, b - a - tag.size() - 2);
}

// The coordinate tuples "longitude,latitude", one a line between four tabs and ",0" CR LF.
std::vector<std::string> coordinates(const std::string& kml) {
    std::vector<std::string> tuples;
    std::istringstream lines(element(kml, "coordinates"));
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with("\t\t\t\t"))
            tuples.push_back(line.substr(4, line.size() - 7));
    return tuples;
}

// Converts `log` saved as in/<name> into out/; the document's path and text.
std::pair<std::string, std::string> Convert(const TempDir& dir, const std::string& log,
                                            const std::string& name = "t.log",
                                            const std::string& description = kDescription) {
    std::string path;
    EXPECT_EQ(ConvertLogToKml(dir.write("in/" + name, log), description, dir.makeDir("out"), path),
              0);
    return {path, TempDir::read(path)};
}

// Written over a longer stale document; the result may alias the input.
TEST(KmlConverter, WritesTheGoldenDocument) {
    TempDir dir;
    dir.write("0101.kml", std::string(100000, 'o'));
    std::string path = QUELLO_OUTPUTS_TEST_DATA_DIR "/golden/0101.log";
    ASSERT_EQ(ConvertLogToKml(path, kDescription, dir.path() + "//", path), 0);
    EXPECT_EQ(path, dir.file("0101.kml"));
    EXPECT_EQ(TempDir::read(path), TempDir::read(QUELLO_OUTPUTS_TEST_DATA_DIR "/golden/0101.kml"));
    EXPECT_EQ(dir.entries(), std::set<std::string>{"0101.kml"});
}

TEST(KmlConverter, LogLinesYieldTheseCoordinates) {
    const std::string fullPiece = "t\tN1\tE2\t" + std::string(119, 'x'); // 127 characters
    const std::string n30(30, '1');
    // What the log holds, then the "longitude,latitude" tuples written for it.
    const std::tuple<const char*, std::string, std::vector<std::string>> cases[] = {
        {"SouthWest", "t\tS22.5\tW114.1\tx\n", {"-114.1,-22.5"}},
        {"LettersOnlyCountInTheirOwnField", "t\tW22.5\tS114.1\tx\n", {"114.1,22.5"}},
        {"FirstCharacterDroppedWhateverItIs", "t\t22.5\t114.1\tx\n", {"14.1,2.5"}},
        {"TabRunsAreOneSeparator", "t\t\t\tN1\t\tE2\t\t\tx\n", {"2,1"}},
        {"LeadingTabShiftsColumns", "\tt\tN1\tE2\n", {"2,1"}},
        {"FewerThanThreeFieldsSkipped", "t\tN1\nt\tN1\t\n\n\t\t\nt\tN3\tE4\n", {"4,3"}},
        {"LineEndsStripped", "t\tN1\tE2\nt\tN3\tE4\r\nt\tN5\tE6", {"2,1", "4,3", "6,5"}},
        {"LongLineReadInPiecesOf127", fullPiece + "a\tN3\tE4\r\n", {"2,1", "4,3"}},
        {"NoLogLinesAtAll", "", {}},
        {"NulEndsTheLineText", std::string("t\tN1\0\tE2\nt\tN3\tE4\0\tx\n", 20), {"4,3"}},
        {"CoordinateOf31CharactersKept", "t\tN" + n30 + "\tE2\n", {"2," + n30}},
        {"CoordinateOf32CharactersSkipped", "t\tN1" + n30 + "\tE2\nt\tN3\tE4" + n30 + "\n", {}},
        {"SingleByteCodePageReadAsLatin1", "t\tN22\xB0N\tE1\xE9\n", {"1\xC3\xA9,22\xC2\xB0N"}},
        {"Utf8FirstCharacterDroppedWhole", "t\t\xC3\x89N22.5\tE1\n", {"1,N22.5"}},
        {"Escaped",
         "t\tN<&>\tE'\"\x01\xEF\xBF\xBF\r\n",
         {"&apos;&quot;\xEF\xBF\xBD\xEF\xBF\xBD,&lt;&amp;&gt;"}},
        // U+FFFE and U+FFFF, which XML cannot carry, between the code points around them.
        {"NoncharactersReplaced",
         "t\tN\xEF\xBF\xBD\xEF\xBF\xBEx\tE\xEF\xBE\xBF\xEF\xBF\xBF\xF0\x90\x80\x80\n",
         {"\xEF\xBE\xBF\xEF\xBF\xBD\xF0\x90\x80\x80,\xEF\xBF\xBD\xEF\xBF\xBDx"}},
    };
    for (const auto& [name, log, tuples] : cases) {
        SCOPED_TRACE(name);
        TempDir dir;
        const auto [path, kml] = Convert(dir, log);
        EXPECT_EQ(coordinates(kml), tuples);
        if (tuples.empty()) { // nothing to look at, no line to draw, still a document
            EXPECT_EQ(element(kml, "LookAt") + element(kml, "LineString"), "<absent><absent>");
            EXPECT_EQ(element(kml, "name"), "t");
        } else {
            EXPECT_EQ(element(kml, "longitude") + "," + element(kml, "latitude"), tuples[0]);
        }
    }
}

TEST(KmlConverter, DocumentAndFileNamedAfterTheLog) {
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"a.b.log", "a.b.kml", "a.b"},
        {"a<&>\"'b.log", "a<&>\"'b.kml", "a&lt;&amp;&gt;&quot;&apos;b"},
        {"caf\xE9.log", "caf\xE9.kml", "caf\xC3\xA9"},
        {"\xE5\x8C\x97.log", "\xE5\x8C\x97.kml", "\xE5\x8C\x97"}};
    for (const auto& [logName, kmlName, nameElement] : cases) {
        SCOPED_TRACE(logName);
        TempDir dir;
        const auto [path, kml] = Convert(dir, "t\tN1\tE2\n", logName, "]]> <x> & \xFF\r");
        EXPECT_EQ(path, dir.file("out/" + kmlName));
        EXPECT_EQ(element(kml, "name"), nameElement);
        EXPECT_EQ(element(kml, "description"), "]]&gt; &lt;x&gt; &amp; \xC3\xBF&#13;");
    }
}

TEST(KmlConverter, FailuresReturnTheirCodeAndWriteNothing) {
    TempDir dir;
    for (const char* folder : {"out", "ro", "taken/good.kml"})
        dir.makeDir(folder);
    dir.write("good.log", "t\tN1\tE2\n");
    dir.write("ro/good.kml", "old");
    ::chmod(dir.file("ro/good.kml").c_str(), 0444);
    ::mkfifo(dir.file("fifo.log").c_str(), 0600);
    // The log, then the output folder, in the temporary folder, and the code returned: a log
    // under a file, a FIFO, an output folder missing or not given, the document's name a
    // folder's, the document there read-only. A missing log and a folder named as one are met by
    // `quello kml`.
    const std::tuple<std::string, const char*, int> cases[] = {
        {"good.log/x.log", "out", -1}, {"fifo.log", "out", -2},   {"good.log", "none", -4},
        {"good.log", "", -4},          {"good.log", "taken", -4}, {"good.log", "ro", -4}};
    const auto snapshot = [&] { // every path with its size
        return test::RunProgram({"find", dir.path(), "-printf", "%p %s\n"}).out;
    };
    const auto before = snapshot();
    for (const auto& [log, out, code] : cases) {
        SCOPED_TRACE(log + " into " + out);
        std::string path = "stale";
        EXPECT_EQ(ConvertLogToKml(dir.file(log), kDescription, *out ? dir.file(out) : "", path),
                  code);
        EXPECT_EQ(path, "");
        EXPECT_EQ(snapshot(), before);
    }
}

// The bytes this process has read from files and pipes so far.
long long BytesRead() {
    std::ifstream io("/proc/self/io");
    std::string key;
    for (long long value; io >> key >> value;)
        if (key == "rchar:")
            return value;
    return -1;
}

// The disk fills up while a long document is written: the old one stays, nothing else is left,
// and the conversion stops there rather than reading on through the log (a gigabyte of it).
TEST(KmlConverter, AFullDiskFailsAndKeepsTheOldDocument) {
    TempDir dir;
    const test::TmpfsMount disk(dir.makeDir("out"), 1 << 20);
    if (!disk.error().empty())
        GTEST_SKIP() << disk.error();
    dir.write("out/big.kml", "old");
    ASSERT_TRUE(disk.fill(0));
    std::string path = "stale", log;
    for (int i = 0; i < 4000; ++i)
        log += "t\tN22.543210\tE114.057800\r\n";
    const std::string logPath = dir.write("big.log", log);
    fs::resize_file(logPath, 1 << 30); // the rest a hole of NUL bytes
    const long long before = BytesRead();
    ASSERT_GE(before, 0) << "no read count in /proc/self/io";
    EXPECT_EQ(ConvertLogToKml(logPath, kDescription, dir.file("out"), path), -4);
    EXPECT_LT(BytesRead() - before, 1 << 20);
    EXPECT_EQ(path + TempDir::read(dir.file("out/big.kml")), "old"); // no path, the old document
    EXPECT_EQ(dir.entries(dir.file("out")), (std::set<std::string>{".filler", "big.kml"}));
}

} // namespace
} // namespace quello
