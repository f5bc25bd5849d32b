#include "outputs/TelemetryCsvWriter.h"
#include "outputs/TelemetryGpxWriter.h"
#include "outputs/TelemetryKmlWriter.h"
#include "recordings/TelemetryParser.h"

#include "tests/support/ProgramRun.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <sstream>

namespace quello {
namespace {

using test::TempDir;

// Each telemetry file of golden/ as parsed, written as the CSV and GPX documents beside it, byte
// for byte, each GPX valid against the GPX 1.1 schema. drive-full: a fix every ten samples, a
// time holding a comma (quoted in the CSV, no GPX time). drive-gaps: CR LF, no fix for two
// seconds, coordinates no number or out of range, a month 13, an empty fix, fixes beyond the
// samples, the years 0 (no xsd:dateTime year: no GPX time) and 1. drive-text: UTF-8 and
// single-byte letters, quotes, XML specials, in the fields and in the track name (whose bytes
// that are no UTF-8 are read as Latin-1). drive-empty: no line at all. The KML track is
// well-formed and runs through the GPX track's points in order: a line string through three, a
// point for drive-text's one, no geometry without any.
TEST(TelemetryWriters, WriteTheGoldenDocuments) {
    auto set = std::make_unique<TelemetrySet>();
    for (const std::string input : {"drive-full", "drive-gaps", "drive-text", "drive-empty"}) {
        SCOPED_TRACE(input);
        const std::string golden = QUELLO_OUTPUTS_TEST_DATA_DIR "/golden/" + input;
        ASSERT_TRUE(ParseTelemetryFile(golden + ".DAT", *set));
        const std::string track =
            input == "drive-text" ? "drive <&>\"' \xC3\xA9 \xF5\x80\x80" : input;
        std::ostringstream csv, gpx;
        WriteTelemetryCsv(csv, *set);
        WriteTelemetryGpx(gpx, *set, track);
        EXPECT_EQ(csv.str(), TempDir::read(golden + ".csv"));
        EXPECT_EQ(gpx.str(), TempDir::read(golden + ".gpx"));
        const auto valid =
            test::RunProgram({"xmllint", "--noout", "--schema", QUELLO_GPX_XSD, golden + ".gpx"});
        EXPECT_EQ(valid.exitCode, 0) << valid.err;

        std::ostringstream kml;
        WriteTelemetryKml(kml, *set, track);
        const TempDir dir;
        const auto wellFormed =
            test::RunProgram({"xmllint", "--noout", dir.write("t.kml", kml.str())});
        EXPECT_EQ(wellFormed.exitCode, 0) << wellFormed.err;
        std::string points;
        const std::string gpxText = gpx.str();
        const std::regex trkpt("<trkpt lat=\"([^\"]*)\" lon=\"([^\"]*)\"");
        int count = 0;
        for (std::sregex_iterator it(gpxText.begin(), gpxText.end(), trkpt), end; it != end;
             ++it, ++count)
            points += "          " + (*it)[2].str() + "," + (*it)[1].str() + ",0\n";
        const std::string doc = kml.str();
        const std::size_t from = doc.find("<coordinates>\n"),
                          to = doc.find("        </coordinates>");
        EXPECT_EQ(from == std::string::npos ? "" : doc.substr(from + 14, to - from - 14), points);
        EXPECT_EQ(doc.find(count > 1 ? "<LineString>" : "<Point>") != std::string::npos, count > 0);
    }
}

} // namespace
} // namespace quello
